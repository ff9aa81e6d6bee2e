// The root object class and class references. A class descriptor names a class, links to its
// parent and can create an instance, which is what the registries need to instantiate a class on
// demand and to test derivation.
#pragma once

#include <memory>

namespace ferronel {

class TObject;

struct TClass {
    const char* Name;
    const TClass* Parent;
    std::unique_ptr<TObject> (*Factory)(); // null for abstract classes

    bool InheritsFrom(const TClass* other) const {
        for (const TClass* c = this; c; c = c->Parent)
            if (c == other) return true;
        return false;
    }
};

class TObject {
public:
    virtual ~TObject() = default;
    static const TClass* ClassInfo() {
        static const TClass info{"TObject", nullptr, nullptr};
        return &info;
    }
    virtual const TClass* ClassType() const { return ClassInfo(); }
    bool InheritsFrom(const TClass* c) const { return ClassType()->InheritsFrom(c); }
    // Copies this object into Dest when this class knows Dest's class; answers false otherwise.
    virtual bool AssignTo(TObject& Dest) const {
        (void)Dest;
        return false;
    }
};

// Declares the class descriptor of a concrete class. Put it in the class body.
#define FERRONEL_CLASS(Name, Parent)                                                                         \
public:                                                                                                      \
    static const ::ferronel::TClass* ClassInfo() {                                                           \
        static const ::ferronel::TClass info{                                                                \
            #Name, Parent::ClassInfo(),                                                                      \
            []() -> std::unique_ptr<::ferronel::TObject> { return std::make_unique<Name>(); }};              \
        return &info;                                                                                        \
    }                                                                                                        \
    const ::ferronel::TClass* ClassType() const override { return ClassInfo(); }

// The same for an abstract class: no factory.
#define FERRONEL_ABSTRACT_CLASS(Name, Parent)                                                                \
public:                                                                                                      \
    static const ::ferronel::TClass* ClassInfo() {                                                           \
        static const ::ferronel::TClass info{#Name, Parent::ClassInfo(), nullptr};                           \
        return &info;                                                                                        \
    }                                                                                                        \
    const ::ferronel::TClass* ClassType() const override { return ClassInfo(); }

} // namespace ferronel
