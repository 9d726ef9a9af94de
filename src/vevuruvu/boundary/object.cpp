#include "vevuruvu/boundary/object.hpp"

#include "vevuruvu/boundary/convert.hpp"

namespace vevuruvu::boundary {

SharedBorrow::SharedBorrow(BorrowFlag& flag) : flag_(flag) {
    if (flag_.state < 0) raise(PyExc_RuntimeError, "Already mutably borrowed");
    ++flag_.state;
}

ExclusiveBorrow::ExclusiveBorrow(BorrowFlag& flag) : flag_(flag) {
    if (flag_.state != 0) raise(PyExc_RuntimeError, "Already borrowed");
    flag_.state = -1;
}

}  // namespace vevuruvu::boundary
