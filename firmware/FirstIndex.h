#pragma once
// The index of the first entry stored for each address, with two flag bits per
// address, in one flat open-addressing table. A hash of nodes costs tens of
// bytes per address and one allocation each; this costs 16 bytes per address
// at most (8-byte slots, at most half full) in a single block, so a hostile
// HEX file of distinct addresses stays small and quick to read.

#include <QVector>
#include <QtGlobal>

class FirstIndex {
public:
    // Index of the first entry for `key`, or -1.
    int find(quint32 key) const {
        const int slot = slotOf(key);
        return slot < 0 ? -1 : indexIn(slots_[slot]);
    }

    // Records `index` as the first entry for `key` with `flags` (0..3); false,
    // and nothing changed, when the key already has one.
    bool insertFirst(quint32 key, int index, quint8 flags) {
        if (2 * (used_ + 1) > slots_.size())
            grow();
        int slot = home(key);
        while (slots_[slot] != 0) {
            if (keyIn(slots_[slot]) == key)
                return false;
            slot = (slot + 1) & (slots_.size() - 1);
        }
        slots_[slot] = pack(key, index, flags);
        ++used_;
        return true;
    }

    // The flags of `key` (0 when it has no entry), and a way to change them.
    quint8 flags(quint32 key) const {
        const int slot = slotOf(key);
        return slot < 0 ? 0 : quint8(slots_[slot] >> kFlagShift);
    }
    void setFlags(quint32 key, quint8 flags) {
        const int slot = slotOf(key);
        if (slot >= 0)
            slots_[slot] = pack(key, indexIn(slots_[slot]), flags);
    }

    void clear() {
        slots_.clear();
        slots_.squeeze();
        used_ = 0;
    }

private:
    // A slot: the key in bits 63..32, the flags in bits 31..30, the index + 1
    // in bits 29..0 (0 marks an empty slot).
    static constexpr int kFlagShift = 30;
    static constexpr quint64 kIndexMask = (quint64(1) << kFlagShift) - 1;

    static quint64 pack(quint32 key, int index, quint8 flags) {
        return (quint64(key) << 32) | (quint64(flags & 3) << kFlagShift) | quint64(index + 1);
    }
    static quint32 keyIn(quint64 slot) { return quint32(slot >> 32); }
    static int indexIn(quint64 slot) { return int(slot & kIndexMask) - 1; }

    int home(quint32 key) const {
        // Fibonacci hashing: consecutive addresses spread over the table.
        return int((key * 2654435769u) >> (32 - bits_)) & (slots_.size() - 1);
    }

    int slotOf(quint32 key) const {
        if (slots_.isEmpty())
            return -1;
        for (int slot = home(key); slots_[slot] != 0; slot = (slot + 1) & (slots_.size() - 1))
            if (keyIn(slots_[slot]) == key)
                return slot;
        return -1;
    }

    void grow() {
        const QVector<quint64> old = slots_;
        bits_ = slots_.isEmpty() ? 6 : bits_ + 1;
        slots_ = QVector<quint64>(1 << bits_, 0);
        for (quint64 s : old) {
            if (s == 0)
                continue;
            int slot = home(keyIn(s));
            while (slots_[slot] != 0)
                slot = (slot + 1) & (slots_.size() - 1);
            slots_[slot] = s;
        }
    }

    QVector<quint64> slots_;
    int bits_ = 0;
    int used_ = 0;
};
