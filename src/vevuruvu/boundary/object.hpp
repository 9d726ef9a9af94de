#pragma once
// The Python object of one of the module's classes: the chapter's record plus a borrow flag.
// A call borrows the object shared (getters, read-only methods, repr) or exclusively (setters,
// methods that change it or store results); a conflicting borrow raises RuntimeError
// "Already mutably borrowed" or "Already borrowed". Every argument converts before the borrow
// is taken, so conflicts arise only when the computation itself calls back into Python (a
// callable argument) and that code uses the same object.
#include <pybind11/pybind11.h>

#include <string>

namespace vevuruvu::boundary {

struct BorrowFlag {
    // > 0: that many shared borrows; -1: one exclusive borrow; 0: free.
    int state = 0;
};

class SharedBorrow {
public:
    explicit SharedBorrow(BorrowFlag& flag);
    ~SharedBorrow() { --flag_.state; }
    SharedBorrow(const SharedBorrow&) = delete;
    SharedBorrow& operator=(const SharedBorrow&) = delete;

private:
    BorrowFlag& flag_;
};

class ExclusiveBorrow {
public:
    explicit ExclusiveBorrow(BorrowFlag& flag);
    ~ExclusiveBorrow() { flag_.state = 0; }
    ExclusiveBorrow(const ExclusiveBorrow&) = delete;
    ExclusiveBorrow& operator=(const ExclusiveBorrow&) = delete;

private:
    BorrowFlag& flag_;
};

template <class T>
struct Object {
    T value;
    BorrowFlag borrow{};
};

// Set by ClassDef<T> when T's Python class is built: the class name used in conversion errors.
template <class T>
struct PythonClass {
    static inline const char* name = nullptr;
};

// Marks a record type as the value of one of the module's classes (specialise to true beside
// its ClassDef, or let ClassDef's use declare it).
template <class T>
inline constexpr bool has_python_class = false;

template <class T>
concept HasPythonClass = has_python_class<T>;

template <class T>
const char* python_class_name() {
    return PythonClass<T>::name ? PythonClass<T>::name : "object";
}

}  // namespace vevuruvu::boundary

// Declares, at global scope, that record type T is the value of one of the module's classes, so
// that arguments and results of type T convert to and from that class.
#define VEVURUVU_PYTHON_CLASS(T) \
    template <>                  \
    inline constexpr bool vevuruvu::boundary::has_python_class<T> = true
