#pragma once
// Watches whether the unit's answers arrive and can be read, and words what
// the console says about it: once when a few commands in a row went without
// a readable answer (which trouble, since when), once when answers come back.
// Pure: the window feeds it what its link reports and shows what it returns.

#include <QDateTime>
#include <QString>

#include <optional>

#include "frame.h"

namespace zq::console {

// Why a command got no readable answer: what spoilt the bytes that came back,
// None when nothing came.
using LostAnswer = zq::FrameDamage;

class AnswerWatch {
public:
    // Commands in a row without a readable answer before the console says so:
    // one lost answer is a line's hiccup, two are a unit or a line in trouble.
    static constexpr int kLostBeforeTelling = 2;

    // `linkResetsItself`: edition 1's link drops a bad frame and starts over;
    // the later ones stop reading until "Reset Uart Queue".
    explicit AnswerWatch(bool linkResetsItself) : linkResetsItself_(linkResetsItself) {}

    // A command sent at `sentAt` got no readable answer. Returns the line to
    // tell when this makes the trouble worth saying, once per spell.
    std::optional<QString> lost(LostAnswer why, const QDateTime &sentAt);
    // A payload was read at `now`. Returns the line to tell when it ends a
    // spell of trouble that was told.
    std::optional<QString> answered(const QDateTime &now);

private:
    bool linkResetsItself_;
    int lostInARow_ = 0;
    QDateTime firstSentAt_;
    LostAnswer worst_ = LostAnswer::None; // unreadable answers outrank silence
    bool told_ = false;
};

} // namespace zq::console
