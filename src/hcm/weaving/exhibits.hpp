#pragma once
// Coefficients of the HCM Chapter 13 freeway weaving segment procedure, grouped by equation.

namespace hcm::weaving::exhibits {

// Maximum weaving length, L_MAX = 5728 (1 + VR)^1.6 - 1566 N_WL.
inline constexpr double L_MAX_BASE = 5728.0;
inline constexpr double L_MAX_PER_WEAVING_LANE = 1566.0;
inline constexpr double VR_EXPONENT = 1.6;  // shared by L_MAX and c_IWL

// Capacity: c_IWL = c_IFL - 438.2 (1 + VR)^1.6 + 0.0765 L_S + 119.8 N_WL, and the limit set by
// the weaving demand, c_W2 = 2400 / VR (N_WL = 2) or 3500 / VR (N_WL = 3).
inline constexpr double C_IWL_VR_COEFF = 438.2;
inline constexpr double C_IWL_PER_FOOT = 0.0765;
inline constexpr double C_IWL_PER_WEAVING_LANE = 119.8;
inline constexpr double C_W2_TWO_WEAVING_LANES = 2400.0;
inline constexpr double C_W2_THREE_WEAVING_LANES = 3500.0;

// Weaving lane changes: LC_W = LC_MIN + 0.39 (L_S - 300)^0.5 N^2 (1 + ID)^0.8.
inline constexpr double LC_W_COEFF = 0.39;
inline constexpr double LC_W_LENGTH_OFFSET = 300.0;
inline constexpr double LC_W_ID_EXPONENT = 0.8;

// Non-weaving lane changes: LC_NW1 = 0.206 v_NW + 0.542 L_S - 192.6 N,
// LC_NW2 = 2135 + 0.223 (v_NW - 2000), chosen by the index I_NW = L_S ID v_NW / 10000.
inline constexpr double LC_NW1_PER_FLOW = 0.206;
inline constexpr double LC_NW1_PER_FOOT = 0.542;
inline constexpr double LC_NW1_PER_LANE = 192.6;
inline constexpr double LC_NW2_BASE = 2135.0;
inline constexpr double LC_NW2_PER_FLOW = 0.223;
inline constexpr double LC_NW2_FLOW_OFFSET = 2000.0;
inline constexpr double I_NW_SCALE = 10000.0;
inline constexpr double I_NW_LOW = 1300.0;
inline constexpr double I_NW_HIGH = 1950.0;

// Weaving intensity W = 0.226 (LC_ALL / L_S)^0.789.
inline constexpr double W_COEFF = 0.226;
inline constexpr double W_EXPONENT = 0.789;

// Speeds: S_W = 15 + (FFS - 15) / (1 + W); S_NW = FFS - 0.0072 LC_MIN - 0.0048 v / N.
inline constexpr double S_W_MINIMUM = 15.0;
inline constexpr double S_NW_PER_LC_MIN = 0.0072;
inline constexpr double S_NW_PER_FLOW_PER_LANE = 0.0048;

// Edition 7.1 speed impedance: k_W = a (V_w / N^e)^b (1 / L_S)^c, applied above 500 pc/h/ln.
struct ImpedanceCoefficients {
    double a, b, c, e;
};
inline constexpr ImpedanceCoefficients IMPEDANCE_COMPLEX = {7.75, 0.2, 1.02, 3.85};
inline constexpr ImpedanceCoefficients IMPEDANCE_SIMPLE_OR_TWO_SIDED = {0.016, 0.021, 0.181, 3.217};
inline constexpr double IMPEDANCE_FREE_FLOW_PER_LANE = 500.0;

// Edition 7.1 capacity: the flow per lane at which the density reaches 35 pc/mi/ln.
inline constexpr double V7_1_CAPACITY_DENSITY = 35.0;

// Equations 13-24 and 13-25: cross-weave capacity reduction of the general-purpose lanes.
inline constexpr double CRF_PER_LN_CW = 0.0252;
inline constexpr double CRF_CONSTANT = -0.0897;
inline constexpr double CRF_PER_FOOT = -0.00001453;
inline constexpr double CRF_PER_GP_LANE = 0.002967;

}  // namespace hcm::weaving::exhibits
