#include "AnswerWatch.h"

namespace zq::console {

namespace {

QString when(const QDateTime &time) {
    return time.toString(Qt::TextDate);
}

const char *faultWords(LostAnswer why) {
    switch (why) {
    case LostAnswer::Noise:
        return "noise on the line";
    case LostAnswer::Checksum:
        return "bad checksums";
    case LostAnswer::EndByte:
        return "bad end bytes";
    case LostAnswer::None:
        break;
    }
    return "";
}

} // namespace

std::optional<QString> AnswerWatch::lost(LostAnswer why, const QDateTime &sentAt) {
    if (lostInARow_++ == 0) {
        firstSentAt_ = sentAt;
        worst_ = LostAnswer::None;
    }
    if (why != LostAnswer::None)
        worst_ = why;
    if (told_ || lostInARow_ < kLostBeforeTelling)
        return std::nullopt;
    told_ = true;
    if (worst_ == LostAnswer::None)
        return QStringLiteral("The unit does not answer: no answer since %1 (%2 commands in a row)")
            .arg(when(firstSentAt_))
            .arg(lostInARow_);
    QString line = QStringLiteral("The unit's answers cannot be read (%1): none read since %2 "
                                  "(%3 commands in a row)")
                       .arg(QLatin1String(faultWords(worst_)), when(firstSentAt_))
                       .arg(lostInARow_);
    // A receiver that met a bad checksum or end byte reads nothing more until
    // it is reset; the oldest link resets it on its own.
    if (!linkResetsItself_ && worst_ != LostAnswer::Noise)
        line += QStringLiteral("; choose Reset Uart Queue in the ZQ menu to read again");
    return line;
}

std::optional<QString> AnswerWatch::answered(const QDateTime &now) {
    const bool wasTold = told_;
    const int lost = lostInARow_;
    lostInARow_ = 0;
    told_ = false;
    if (!wasTold)
        return std::nullopt;
    return QStringLiteral("The unit answers again: %1 commands without a readable answer from %2 "
                          "to %3")
        .arg(lost)
        .arg(when(firstSentAt_), when(now));
}

} // namespace zq::console
