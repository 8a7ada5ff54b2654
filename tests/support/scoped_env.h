#pragma once
// Sets an environment variable for one test and puts the old value back.
#include <cstdlib>
#include <optional>
#include <string>

namespace korvane::testing {

#ifdef _WIN32
// An empty value removes the variable on Windows.
inline void SetEnv(const char* name, const char* value) {
    ::_putenv_s(name, value);
}
inline void UnsetEnv(const char* name) {
    ::_putenv_s(name, "");
}
#else
inline void SetEnv(const char* name, const char* value) {
    ::setenv(name, value, 1);
}
inline void UnsetEnv(const char* name) {
    ::unsetenv(name);
}
#endif

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        SetEnv(name, value.c_str());
    }
    ~ScopedEnv() {
        if (old_)
            SetEnv(name_, old_->c_str());
        else
            UnsetEnv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace korvane::testing
