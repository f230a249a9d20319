// The little of the C++ runtime's failure paths that the program needs.
//
// The program is built without exceptions: nothing in it throws or catches.
// The standard containers still call these functions when a size is out of
// range or memory runs out, and the library's own versions would bring the
// exception machinery, the demangler and both string implementations into
// the executable. Here each ends the process at once with a status of its
// own: a defined end, never undefined behaviour. The tests link the library
// with the full runtime instead.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

constexpr UINT kOutOfMemory = 0xE0000001;
constexpr UINT kOutOfRange = 0xE0000002;

// Ends the process where it stands: no clean-up code of the program runs on
// memory or state that may be broken.
[[noreturn]] void End(UINT status) {
    TerminateProcess(GetCurrentProcess(), status);
    __builtin_unreachable();
}

}  // namespace

namespace std {

void __throw_bad_alloc() { End(kOutOfMemory); }
void __throw_bad_array_new_length() { End(kOutOfMemory); }
void __throw_length_error(const char*) { End(kOutOfRange); }
void __throw_logic_error(const char*) { End(kOutOfRange); }
void __throw_out_of_range(const char*) { End(kOutOfRange); }
void __throw_out_of_range_fmt(const char*, ...) { End(kOutOfRange); }
void __throw_invalid_argument(const char*) { End(kOutOfRange); }

}  // namespace std

void* operator new(size_t size) {
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
    End(kOutOfMemory);
}

void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
