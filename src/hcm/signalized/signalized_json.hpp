#pragma once
// The record tables of the signalized intersection document, for code that reads or writes its
// records one at a time (signalized.hpp has the whole-document functions).
#include "hcm/signalized/signalized.hpp"
#include "json/jsonio.hpp"

namespace hcm::signalized::signalized {

const jsonio::Record<PhaseTiming>& json_record(jsonio::Tag<PhaseTiming>);
const jsonio::Record<SignalApproach>& json_record(jsonio::Tag<SignalApproach>);
const jsonio::Record<LaneGroup>& json_record(jsonio::Tag<LaneGroup>);
const jsonio::Record<ApproachResult>& json_record(jsonio::Tag<ApproachResult>);
const jsonio::Record<ActuatedPhaseResult>& json_record(jsonio::Tag<ActuatedPhaseResult>);
const jsonio::Record<SignalizedIntersection>& json_record(jsonio::Tag<SignalizedIntersection>);

}  // namespace hcm::signalized::signalized
