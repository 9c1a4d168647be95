// The decision on a bulletin: one pure function over what the bulletin
// says, the settings and the index of the settings file and address book,
// running an ordered list of rules; the first that decides gives the verdict.
#pragma once

#include <string>

#include "hook/decision_inputs.h"
#include "hook/host.h"
#include "hook/sender_matching.h"
#include "hook/verdict.h"

namespace calmora::bulletins {

// A bulletin as the rules read it.
struct BulletinFacts {
  hostapi::BulletinFields fields;
  std::string sender;  // what the contact tests match
  std::string message;
};
BulletinFacts describe(const hostapi::BulletinFields& fields);
// Present and not the empty text.
bool nonEmpty(const platform::Text& t);

Verdict decideBulletin(const BulletinFacts& bulletin, const DecisionInputs& inputs, const ContactIndex& index);

}  // namespace calmora::bulletins
