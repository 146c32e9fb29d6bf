// Per-user services: Windows creates an instance of each template at every sign-in, named
// <template>_<suffix> (the suffix in hex, differing from one sign-in and one machine to the next).
#pragma once

#include "service/ServiceManager.h"

#include <string>
#include <vector>

namespace kestrane {

// The template a name of the form <template>_<hex> would be an instance of, or empty.
std::wstring TemplateNameOf(const std::wstring& name);

// Whether `entry` is an instance of a per-user template of `inventory` (its type says so, or, where the
// type does not, its name is <template>_<hex> and that template is there), and of which.
std::wstring TemplateOfInstance(const ServiceEntry& entry, const std::vector<ServiceEntry>& inventory);

}  // namespace kestrane
