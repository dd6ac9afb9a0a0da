// The one rule that ties a board's 32-bit logging word to its check boxes.
//
// A board codec describes its word as a table of {bit number, box} entries and
// hands it to applyLoggingWord (word to boxes) or collectLoggingWord (boxes to
// word). The box type only needs isEnabled(), isChecked() and
// setChecked(bool), so this header reaches no widget code (QCheckBox is the box
// used in practice). Enabled means the box's effective enabled state: a box in a
// disabled group or page counts as disabled.
#pragma once

#include <QtGlobal>

#include <initializer_list>

namespace kvx {

template <typename Box> struct LoggingBit {
    int bit;  // 0..31; entries outside that range are ignored
    Box* box; // null entries are ignored
};

namespace detail {
inline bool validLoggingBit(int bit) {
    return bit >= 0 && bit < 32;
}
} // namespace detail

// Word to boxes: every enabled box of the table is checked when its bit is 1
// and unchecked when it is 0; disabled boxes keep their state; bits without a
// box are ignored. `table` is any range of LoggingBit entries.
template <typename Table> void applyLoggingWord(quint32 word, const Table& table) {
    for (const auto& entry : table) {
        if (entry.box == nullptr || !detail::validLoggingBit(entry.bit) || !entry.box->isEnabled())
            continue;
        entry.box->setChecked(((word >> entry.bit) & 1u) != 0);
    }
}

// Boxes to word: a bit is set exactly when its box is enabled and checked;
// every other bit is 0.
template <typename Table> quint32 collectLoggingWord(const Table& table) {
    quint32 word = 0;
    for (const auto& entry : table) {
        if (entry.box == nullptr || !detail::validLoggingBit(entry.bit))
            continue;
        if (entry.box->isEnabled() && entry.box->isChecked())
            word |= quint32(1) << entry.bit;
    }
    return word;
}

// Boxes to word for writing back: a bit of an enabled box comes from the box;
// every other bit (a disabled box, a bit without a box) is taken from
// `readWord`, the word as read, so that a write changes only what the operator
// could change.
template <typename Table> quint32 mergeLoggingWord(quint32 readWord, const Table& table) {
    quint32 editable = 0;
    for (const auto& entry : table) {
        if (entry.box != nullptr && detail::validLoggingBit(entry.bit) && entry.box->isEnabled())
            editable |= quint32(1) << entry.bit;
    }
    return (readWord & ~editable) | collectLoggingWord(table);
}

// The same for a table written in place: applyLoggingWord(word, {{0, box}, ...}).
template <typename Box>
void applyLoggingWord(quint32 word, std::initializer_list<LoggingBit<Box>> table) {
    applyLoggingWord<std::initializer_list<LoggingBit<Box>>>(word, table);
}
template <typename Box> quint32 collectLoggingWord(std::initializer_list<LoggingBit<Box>> table) {
    return collectLoggingWord<std::initializer_list<LoggingBit<Box>>>(table);
}

} // namespace kvx
