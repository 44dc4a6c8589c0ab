// SPDX-License-Identifier: MIT
// Program registry and argument access for the drawing programs.
#include "Picture.h"

#include <stdexcept>

namespace art {

const std::string& Args::text(std::size_t i) const {
    if (i >= values_.size()) throw std::runtime_error("argument " + std::to_string(i + 1) + " is missing");
    return values_[i];
}

int Args::integer(std::size_t i) const {
    const std::string& v = text(i);
    std::size_t used = 0;
    int n = 0;
    try {
        n = std::stoi(v, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != v.size() || v.empty())
        throw std::runtime_error("argument " + std::to_string(i + 1) + " ('" + v + "') is not a whole number");
    return n;
}

Programs& Programs::instance() {
    static Programs programs;
    return programs;
}

void Programs::add(const std::string& name, Program program) {
    if (programs_.count(name)) duplicates_.push_back(name);
    programs_[name] = std::move(program);
}

const Program* Programs::find(const std::string& name) const {
    const auto it = programs_.find(name);
    return it == programs_.end() ? nullptr : &it->second;
}

std::vector<std::string> Programs::names() const {
    std::vector<std::string> out;
    for (const auto& [name, program] : programs_) out.push_back(name);
    return out;
}

namespace {
std::string& sourceDir() {
    static std::string dir = ".";
    return dir;
}
} // namespace

void setSourceDirectory(const std::string& dir) { sourceDir() = dir; }
const std::string& sourceDirectory() { return sourceDir(); }

Picture runProgram(const std::string& name, const std::vector<std::string>& args) {
    const Program* p = Programs::instance().find(name);
    if (!p) throw std::runtime_error("no drawing program called '" + name + "'");
    return (*p)(Args(args));
}

} // namespace art
