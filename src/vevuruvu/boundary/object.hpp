#pragma once
// The Python object of one of the module's classes: the chapter's record plus a borrow flag.
// A call borrows the object shared (getters, read-only methods, repr) or exclusively (setters,
// methods that change it or store results); a conflicting borrow raises RuntimeError
// "Already mutably borrowed" or "Already borrowed". Every argument converts before the borrow
// is taken, so conflicts arise only when the computation itself calls back into Python (a
// callable argument) and that code uses the same object.
//
// Every class shares one instance layout, so the interpreter lets a Python subclass change its
// bases to another of the module's classes (`S.__bases__ = (OtherClass,)`), and may let an object
// move between Python subclasses of two classes (`obj.__class__ = ...`): what an object's type
// claims can then differ from the record it holds.
// So each record carries its kind, set when it is made, and every entry into C++ takes the record
// through record_of<T>, which compares that kind with T's: one pointer compare. The record is
// also freed through its kind, whatever class the object claims by then.
#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <new>

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

// What a record is: one per record type, identified by its address.
struct RecordKind {
    const char* class_name = nullptr;  // T's Python class, set by ClassDef<T>
    PyTypeObject* type = nullptr;      // that class, set by ClassDef<T>
    void (*destroy)(void* object) = nullptr;  // deletes the Object<T> at `object`
};

template <class T>
struct Object;

template <class T>
struct PythonClass {
    static inline RecordKind kind{nullptr, nullptr, [](void* object) { delete static_cast<Object<T>*>(object); }};
};

// Built with a designated initialiser, Object<T>{.value = ...}, so that the record is made in
// place and the kind keeps its default.
template <class T>
struct Object {
    // First member, at the object's address: kind_of reads it without knowing T.
    const RecordKind* kind = &PythonClass<T>::kind;
    T value;
    BorrowFlag borrow{};
};

// The kind of the record at `record` (an Object of any record type).
inline const RecordKind* kind_of(const void* record) {
    return *std::launder(static_cast<const RecordKind* const*>(record));
}

// The record a Python object holds, if it is an instance of `type` (or of a subclass): nullptr
// for any other object, or when it holds none.
void* held_record(PyObject* object, PyTypeObject* type);

// The Object<T> that `object` holds; nullptr unless `object` is an instance of T's class whose
// record really is a T (not so after a change of its class's bases or of its __class__).
template <class T>
Object<T>* record_of(PyObject* object) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    static_assert(offsetof(Object<T>, kind) == 0, "kind_of reads the kind at the record's address");
#pragma GCC diagnostic pop
    const RecordKind& kind = PythonClass<T>::kind;
    void* record = held_record(object, kind.type);
    return record != nullptr && kind_of(record) == &kind ? static_cast<Object<T>*>(record) : nullptr;
}

// Frees a record through its own kind: the holder of every module class's objects.
struct RecordDeleter {
    void operator()(const void* record) const noexcept { kind_of(record)->destroy(const_cast<void*>(record)); }
};
template <class T>
using RecordHolder = std::unique_ptr<Object<T>, RecordDeleter>;

// Raises TypeError: `member` of `kind`'s class does not apply to `self` (which is not an
// instance of the class, or holds another class's record).
[[noreturn]] void refuse_self(PyObject* self, const RecordKind& kind, const char* member);

// The record of `self`, the object a method, property or slot `member` of T's class is called on.
template <class T>
Object<T>& self_record(pybind11::handle self, const char* member) {
    if (Object<T>* record = record_of<T>(self.ptr())) return *record;
    refuse_self(self.ptr(), PythonClass<T>::kind, member);
}

// Marks a record type as the value of one of the module's classes (specialise to true beside
// its ClassDef, or let ClassDef's use declare it).
template <class T>
inline constexpr bool has_python_class = false;

template <class T>
concept HasPythonClass = has_python_class<T>;

template <class T>
const char* python_class_name() {
    const char* name = PythonClass<T>::kind.class_name;
    return name ? name : "object";
}

}  // namespace vevuruvu::boundary

// Declares, at global scope, that record type T is the value of one of the module's classes, so
// that arguments and results of type T convert to and from that class.
#define VEVURUVU_PYTHON_CLASS(T) \
    template <>                  \
    inline constexpr bool vevuruvu::boundary::has_python_class<T> = true
