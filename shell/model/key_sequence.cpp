// The key sequences and the release of held modifiers.
#include "shell/model/key_sequence.h"

namespace qvx::shell {

namespace {

KeySequence CtrlChord(std::uint8_t key) {
  return {{vk::kControl, false, 0}, {key, false, 130}, {key, true, 121}, {vk::kControl, true, 100}};
}

}  // namespace

KeySequence CopySequence() { return CtrlChord('C'); }

KeySequence PasteSequence() { return CtrlChord('V'); }

KeySequence SelectAllCopySequence() {
  return {{vk::kControl, false, 0}, {'A', false, 121}, {'A', true, 380},
          {'C', false, 1},          {'C', true, 110},  {vk::kControl, true, 100}};
}

const std::vector<std::uint8_t>& ReleasableModifiers() {
  static const std::vector<std::uint8_t> keys = {vk::kLeftShift, vk::kRightShift, vk::kLeftAlt,
                                                 vk::kRightAlt,  vk::kLeftWin,    vk::kRightWin};
  return keys;
}

KeySequence WithHeldModifiersReleased(const KeySequence& sequence,
                                      const std::vector<std::uint8_t>& held) {
  if (sequence.empty() || held.empty()) return sequence;
  KeySequence out;
  out.reserve(sequence.size() + held.size());
  out.push_back(sequence.front());
  for (std::uint8_t key : held) out.push_back({key, true, 0});
  out.insert(out.end(), sequence.begin() + 1, sequence.end());
  return out;
}

}  // namespace qvx::shell
