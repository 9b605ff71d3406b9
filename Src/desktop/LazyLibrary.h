#pragma once

#include <QString>

// A shared library that only some paths need, loaded by its soname when one first takes it
// rather than with the program: each library in the process slows every later symbol lookup,
// and so the start. Never unloaded. A subclass names the functions it calls,
//
//     struct Lz4 : LazyLibrary {
//         Lz4() : LazyLibrary("liblz4.so.1") {}
//         decltype(&LZ4_decompress_safe) decompress_safe = function("LZ4_decompress_safe");
//     };
//
// and its users keep one, made on first use: `static const Lz4 lz4;`.
class LazyLibrary {
public:
    explicit LazyLibrary(const char* soname);
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // Whether the library and every function named were found.
    bool usable() const { return missing.isEmpty(); }
    // Why not, in words for a person: "liblz4.so.1 is not installed".
    const QString& whyNot() const { return missing; }

protected:
    // The library's function, for a pointer of its type; null, and the library unusable, when
    // the library lacks it.
    struct Function {
        void* address;
        template <typename Type> operator Type*() const { return reinterpret_cast<Type*>(address); }
    };
    Function function(const char* name);

private:
    const char* soname;
    void* handle;
    QString missing;
};
