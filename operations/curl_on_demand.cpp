// The few libcurl calls the TFTP send makes, with libcurl loaded on the first of them: linked
// in, libcurl and the thirty libraries it needs cost every start of the window and the CLI
// about 13 ms, though most runs send nothing.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>

namespace {

struct Curl {
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_easy_escape) easy_escape = nullptr;
    decltype(&curl_free) free = nullptr;
    bool loaded = false;
};

template <typename F>
bool take(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

// Loaded once and kept; not loaded when the library or one of its calls is missing.
const Curl& curl() {
    static const Curl loaded = [] {
        Curl c;
        void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!library) return c;
        c.loaded = take(library, "curl_easy_init", c.easy_init) && take(library, "curl_easy_cleanup", c.easy_cleanup) &&
                   take(library, "curl_easy_setopt", c.easy_setopt) &&
                   take(library, "curl_easy_perform", c.easy_perform) &&
                   take(library, "curl_easy_getinfo", c.easy_getinfo) &&
                   take(library, "curl_easy_strerror", c.easy_strerror) &&
                   take(library, "curl_easy_escape", c.easy_escape) && take(library, "curl_free", c.free);
        return c;
    }();
    return loaded;
}

}  // namespace

extern "C" {

// Without libcurl no handle is made, which the send reports as a transfer that cannot start.
CURL* curl_easy_init() { return curl().loaded ? curl().easy_init() : nullptr; }

void curl_easy_cleanup(CURL* handle) {
    if (handle) curl().easy_cleanup(handle);
}

// An option's number tells the type of its value, as libcurl itself reads it.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    va_list value;
    va_start(value, option);
    CURLcode code = CURLE_BAD_FUNCTION_ARGUMENT;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        code = curl().easy_setopt(handle, option, va_arg(value, long));
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        code = curl().easy_setopt(handle, option, va_arg(value, void*));
    } else if (option < CURLOPTTYPE_OFF_T) {
        code = curl().easy_setopt(handle, option, va_arg(value, void (*)()));
    } else if (option < CURLOPTTYPE_BLOB) {
        code = curl().easy_setopt(handle, option, va_arg(value, curl_off_t));
    } else {
        code = curl().easy_setopt(handle, option, va_arg(value, void*));
    }
    va_end(value);
    return code;
}

CURLcode curl_easy_perform(CURL* handle) { return curl().easy_perform(handle); }

// Every piece of information is written through a pointer.
CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    va_list value;
    va_start(value, info);
    const CURLcode code = curl().easy_getinfo(handle, info, va_arg(value, void*));
    va_end(value);
    return code;
}

const char* curl_easy_strerror(CURLcode code) {
    return curl().loaded ? curl().easy_strerror(code) : "libcurl (libcurl.so.4) cannot be loaded";
}

char* curl_easy_escape(CURL* handle, const char* text, int length) { return curl().easy_escape(handle, text, length); }

void curl_free(void* pointer) {
    if (pointer) curl().free(pointer);
}

}  // extern "C"
