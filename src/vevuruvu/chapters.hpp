#pragma once
// One registration function per chapter binding file. Each adds its chapter's classes and
// functions to the module, in its own fixed order, through boundary::add; the first failure
// propagates as an exception and fails the import.
#include <pybind11/pybind11.h>

#define VEVURUVU_CHAPTER(chapter) \
    namespace vevuruvu::chapter { \
    void register_(pybind11::module_& m); \
    }

VEVURUVU_CHAPTER(freeway_facilities)
VEVURUVU_CHAPTER(freeway_reliability)
VEVURUVU_CHAPTER(basicfreeways)
VEVURUVU_CHAPTER(mixed_flow)
VEVURUVU_CHAPTER(weaving)
VEVURUVU_CHAPTER(merge_diverge)
VEVURUVU_CHAPTER(twolanehighways)
VEVURUVU_CHAPTER(urban_facilities)
VEVURUVU_CHAPTER(urban_reliability)
VEVURUVU_CHAPTER(urban_segments)
VEVURUVU_CHAPTER(signalized)
VEVURUVU_CHAPTER(twsc)
VEVURUVU_CHAPTER(awsc)
VEVURUVU_CHAPTER(roundabouts)
VEVURUVU_CHAPTER(ramp_terminals)
VEVURUVU_CHAPTER(offstreet_pedbike)
VEVURUVU_CHAPTER(support)

#undef VEVURUVU_CHAPTER
