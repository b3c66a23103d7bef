#pragma once

#include "catalogue/Catalog.hpp"
#include "install/Profile.hpp"

#include <string>

// `--brewfile FILE`, taken wherever `--profile FILE` is: the Brewfile read as data (never
// run) becomes the profile of the run, with the default install options.
namespace cairnmoor::BrewfileCommand {

// Its packages as a profile; every line that cannot be used, and every tap (Cairnmoor adds
// and trusts none), is told on standard error with its line number. Throws FileError.
Profile load(const std::string& path);

// The packages the catalogue has become its ids, as they would in the window.
void matchCatalogue(Profile& profile, const Catalog& catalog);

} // namespace cairnmoor::BrewfileCommand
