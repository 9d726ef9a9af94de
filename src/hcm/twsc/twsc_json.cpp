// The TWSC document: one table per record drives reading and writing.
#include <variant>

#include "hcm/twsc/twsc.hpp"
#include "json/character.hpp"
#include "json/jsonio.hpp"

namespace hcm::twsc::twsc {

namespace {

// MajorLeftLaneConfig in JSON: "Exclusive", "Shared" or {"SharedShortPocket": {"storage_veh": n}}.
struct ShortPocket {
    std::uint32_t storage_veh = 0;
};

const jsonio::Record<ShortPocket>& json_record(jsonio::Tag<ShortPocket>) {
    static const jsonio::Record<ShortPocket> record{"variant MajorLeftLaneConfig::SharedShortPocket",
                                                    {jsonio::required("storage_veh", &ShortPocket::storage_veh)}};
    return record;
}

using LeftLaneJson = std::variant<jsonio::Unit, jsonio::Unit, ShortPocket>;  // MajorLeftLane order

const jsonio::Variants<LeftLaneJson>& left_lane_variants() {
    static const jsonio::Variants<LeftLaneJson> variants{"MajorLeftLaneConfig",
                                                         {"Exclusive", "Shared", "SharedShortPocket"}};
    return variants;
}

MajorLeftLaneConfig read_left_lane(jsonio::Value v) {
    const LeftLaneJson x = left_lane_variants().read(v);
    if (const ShortPocket* pocket = std::get_if<2>(&x)) return {MajorLeftLane::SharedShortPocket, pocket->storage_veh};
    return {x.index() == 0 ? MajorLeftLane::Exclusive : MajorLeftLane::Shared, 0};
}

void write_left_lane(jsonio::Writer& w, const MajorLeftLaneConfig& c) {
    switch (c.lane) {
        case MajorLeftLane::Exclusive: left_lane_variants().write(w, LeftLaneJson(std::in_place_index<0>)); break;
        case MajorLeftLane::Shared: left_lane_variants().write(w, LeftLaneJson(std::in_place_index<1>)); break;
        case MajorLeftLane::SharedShortPocket:
            left_lane_variants().write(w, LeftLaneJson(std::in_place_index<2>, ShortPocket{c.storage_veh}));
            break;
    }
}

constexpr jsonio::Codec<MajorLeftLaneConfig> LEFT_LANE{read_left_lane, write_left_lane};

}  // namespace

const jsonio::Record<TwscDemand>& json_record(jsonio::Tag<TwscDemand>) {
    using D = TwscDemand;
    static const jsonio::Record<D> record{
        "TwscDemand",
        {
            jsonio::with_default("v1", &D::v1, 0.0),   jsonio::with_default("v1u", &D::v1u, 0.0),
            jsonio::with_default("v2", &D::v2, 0.0),   jsonio::with_default("v3", &D::v3, 0.0),
            jsonio::with_default("v4", &D::v4, 0.0),   jsonio::with_default("v4u", &D::v4u, 0.0),
            jsonio::with_default("v5", &D::v5, 0.0),   jsonio::with_default("v6", &D::v6, 0.0),
            jsonio::with_default("v7", &D::v7, 0.0),   jsonio::with_default("v8", &D::v8, 0.0),
            jsonio::with_default("v9", &D::v9, 0.0),   jsonio::with_default("v10", &D::v10, 0.0),
            jsonio::with_default("v11", &D::v11, 0.0), jsonio::with_default("v12", &D::v12, 0.0),
            jsonio::with_default("v13", &D::v13, 0.0), jsonio::with_default("v14", &D::v14, 0.0),
            jsonio::with_default("v15", &D::v15, 0.0), jsonio::with_default("v16", &D::v16, 0.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<TwscGeometry>& json_record(jsonio::Tag<TwscGeometry>) {
    using G = TwscGeometry;
    static const jsonio::Record<G> record{
        "TwscGeometry",
        {
            jsonio::with_default("is_three_leg", &G::is_three_leg, false),
            jsonio::required("major_lanes_per_direction", &G::major_lanes_per_direction),
            jsonio::with_default("major_right_turn_eb", &G::major_right_turn_eb, MajorRightTurnConfig::Shared),
            jsonio::with_default("major_right_turn_wb", &G::major_right_turn_wb, MajorRightTurnConfig::Shared),
            jsonio::with_default("major_left_eb", &G::major_left_eb, MajorLeftLaneConfig{}, LEFT_LANE),
            jsonio::with_default("major_left_wb", &G::major_left_wb, MajorLeftLaneConfig{}, LEFT_LANE),
            jsonio::with_default("uturn_median_width", &G::uturn_median_width, UTurnMedianWidth::Wide),
            jsonio::with_default("grade_minor_nb_pct", &G::grade_minor_nb_pct, 0.0),
            jsonio::with_default("grade_minor_sb_pct", &G::grade_minor_sb_pct, 0.0),
            jsonio::with_default("minor_lanes_nb", &G::minor_lanes_nb, MinorLaneConfig::SingleShared),
            jsonio::with_default("minor_lanes_sb", &G::minor_lanes_sb, MinorLaneConfig::SingleShared),
            jsonio::optional("median_storage_nb", &G::median_storage_nb),
            jsonio::optional("median_storage_sb", &G::median_storage_sb),
            jsonio::optional("flare_storage_nb", &G::flare_storage_nb),
            jsonio::optional("flare_storage_sb", &G::flare_storage_sb),
            jsonio::with_default("lane_width_ft", &G::lane_width_ft, 12.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<ConflictingFlowOverride>& json_record(jsonio::Tag<ConflictingFlowOverride>) {
    using O = ConflictingFlowOverride;
    static const jsonio::Record<O> record{"ConflictingFlowOverride",
                                          {
                                              jsonio::required("movement", &O::movement),
                                              jsonio::required("stage", &O::stage),
                                              jsonio::required("value", &O::value),
                                          }};
    return record;
}

const jsonio::Record<PlatoonBlockage>& json_record(jsonio::Tag<PlatoonBlockage>) {
    using P = PlatoonBlockage;
    static const jsonio::Record<P> record{
        "PlatoonBlockage",
        {
            jsonio::with_default("pb1", &P::pb1, 0.0),   jsonio::with_default("pb4", &P::pb4, 0.0),
            jsonio::with_default("pb7", &P::pb7, 0.0),   jsonio::with_default("pb8", &P::pb8, 0.0),
            jsonio::with_default("pb9", &P::pb9, 0.0),   jsonio::with_default("pb10", &P::pb10, 0.0),
            jsonio::with_default("pb11", &P::pb11, 0.0), jsonio::with_default("pb12", &P::pb12, 0.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<TwscMovementResult>& json_record(jsonio::Tag<TwscMovementResult>) {
    using M = TwscMovementResult;
    // Steps 3 and 5 give the movements they analyse a conflicting flow and headways, and the
    // capacities follow. The stage flows of Step 3 and the impeded capacities depend on the
    // movement, which the intersection knows by the movement's position (settle_movements).
    static const jsonio::Analysed<M> headways = jsonio::marked_by("followup_headway", &M::followup_headway);
    static const jsonio::Analysed<M> impeded{
        "`followup_headway` is given, except for movements 8, 10 and 11 (their positions in `movements`) of a "
        "three-leg intersection (`is_three_leg`)"};
    static const jsonio::Analysed<M> two_stage =
        jsonio::marked_by("critical_headway_stage1", &M::critical_headway_stage1);
    static const jsonio::Analysed<M> delay = jsonio::marked_by("los", &M::los);
    static const jsonio::Analysed<M> stage{
        "the movement is 7, 8, 10 or 11 (its position in `movements`) of an analysed intersection "
        "(`approach_delays` given)"};
    static const jsonio::Analysed<M> conflicting{
        "`followup_headway` is given, or both stage flows are (after their own rule)"};
    static const jsonio::Record<M> record{
        "TwscMovementResult",
        {
            jsonio::result("flow_rate", &M::flow_rate),
            jsonio::analysed_result("conflicting_flow", &M::conflicting_flow, conflicting),
            jsonio::analysed_result("conflicting_flow_stage1", &M::conflicting_flow_stage1, stage),
            jsonio::analysed_result("conflicting_flow_stage2", &M::conflicting_flow_stage2, stage),
            jsonio::optional("critical_headway", &M::critical_headway),
            jsonio::optional("critical_headway_stage1", &M::critical_headway_stage1),
            jsonio::optional("critical_headway_stage2", &M::critical_headway_stage2),
            jsonio::optional("followup_headway", &M::followup_headway),
            jsonio::analysed_result("potential_capacity", &M::potential_capacity, headways),
            jsonio::analysed_result("potential_capacity_stage1", &M::potential_capacity_stage1, two_stage),
            jsonio::analysed_result("potential_capacity_stage2", &M::potential_capacity_stage2, two_stage),
            jsonio::analysed_result("movement_capacity", &M::movement_capacity, impeded),
            jsonio::analysed_result("movement_capacity_stage1", &M::movement_capacity_stage1, two_stage),
            jsonio::analysed_result("movement_capacity_stage2", &M::movement_capacity_stage2, two_stage),
            jsonio::analysed_result("control_delay", &M::control_delay, delay),
            jsonio::optional("los", &M::los, jsonio::CHARACTER),
            jsonio::analysed_result("queue_95", &M::queue_95, delay),
        }};
    return record;
}

const jsonio::Record<TwscLaneResult>& json_record(jsonio::Tag<TwscLaneResult>) {
    using L = TwscLaneResult;
    static const jsonio::Record<L> record{"TwscLaneResult",
                                          {
                                              jsonio::required("movements", &L::movements),
                                              jsonio::result("flow_rate", &L::flow_rate),
                                              jsonio::result("capacity", &L::capacity),
                                              jsonio::result("control_delay", &L::control_delay),
                                              jsonio::required("los", &L::los, jsonio::CHARACTER),
                                              jsonio::result("queue_95", &L::queue_95),
                                          }};
    return record;
}

namespace {

// Step 3 gives the minor-street through and left turns their two stage flows (the headways and
// capacities of a second stage follow the median storage instead), and every movement it gives
// headways a conflicting flow; otherwise a movement has these only from overrides, numbers of
// the document, and the sum of its two stage overrides as its conflicting flow. Steps 7 to 10
// give every movement with a potential capacity its movement capacity, except that a three-leg
// intersection impedes only movement 7 of the minor crossings (it has no 8, 10 or 11).
void settle_movements(Twsc& t) {
    const bool analysed = t.approach_delays.has_value();
    const bool three_leg = t.geometry.is_three_leg;
    for (std::size_t i = 0; i < t.movements.size(); ++i) {
        TwscMovementResult& m = t.movements[i];
        const bool crossing = i == index(Mv::M7) || i == index(Mv::M8) || i == index(Mv::M10) || i == index(Mv::M11);
        jsonio::absent_unless_computed(m.conflicting_flow_stage1, analysed && crossing);
        jsonio::absent_unless_computed(m.conflicting_flow_stage2, analysed && crossing);
        const bool both_stages = m.conflicting_flow_stage1 && m.conflicting_flow_stage2;
        jsonio::absent_unless_computed(m.conflicting_flow, m.followup_headway || both_stages);
        const bool impeded = !three_leg || !crossing || i == index(Mv::M7);
        jsonio::absent_unless_computed(m.movement_capacity, m.followup_headway && impeded);
    }
}

}  // namespace

const jsonio::Record<Twsc>& json_record(jsonio::Tag<Twsc>) {
    static const jsonio::Record<Twsc> record{
        "Twsc",
        {
            jsonio::required("demand", &Twsc::demand),
            jsonio::required("geometry", &Twsc::geometry),
            jsonio::optional("phf", &Twsc::phf),
            jsonio::with_default("analysis_period_h", &Twsc::analysis_period_h, 0.25),
            jsonio::with_default("heavy_vehicle_pct", &Twsc::heavy_vehicle_pct, 0.0),
            jsonio::with_default("conflicting_flow_overrides", &Twsc::conflicting_flow_overrides, {}),
            jsonio::optional("platoon_blockage", &Twsc::platoon_blockage),
            jsonio::optional("upstream_signals", &Twsc::upstream_signals),
            jsonio::with_default("movements", &Twsc::movements, {}),
            jsonio::with_default("lanes_nb", &Twsc::lanes_nb, {}),
            jsonio::with_default("lanes_sb", &Twsc::lanes_sb, {}),
            // Results that may be infinite are written null: null elements read back as NaN.
            jsonio::result_with_default("approach_delays", &Twsc::approach_delays, std::nullopt),
            jsonio::analysed_result("intersection_delay", &Twsc::intersection_delay,
                                    jsonio::marked_by("approach_delays", &Twsc::approach_delays)),
            jsonio::result_with_default("rank1_major_delay", &Twsc::rank1_major_delay, std::nullopt),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill,
        settle_movements};
    return record;
}

Twsc read_twsc(std::string_view text) {
    Twsc t = jsonio::read_document<Twsc>(text);
    if (t.movements.size() != MOVEMENT_COUNT) t.movements.assign(MOVEMENT_COUNT, TwscMovementResult{});
    return t;
}

std::string write_twsc(const Twsc& t) { return jsonio::write_document(t); }

}  // namespace hcm::twsc::twsc
