#include "ContentHash.h"

#include <QHashFunctions>

#include <algorithm>

void ContentHasher::hashBlock(QByteArrayView block)
{
    state_ = qHashBits(block.data(), static_cast<size_t>(block.size()), static_cast<size_t>(state_));
}

void ContentHasher::add(QByteArrayView bytes)
{
    total_ += bytes.size();
    if (!pending_.isEmpty()) {
        const qsizetype take = std::min(BlockSize - pending_.size(), bytes.size());
        pending_.append(bytes.first(take));
        bytes = bytes.sliced(take);
        if (pending_.size() < BlockSize)
            return;
        hashBlock(pending_);
        pending_.clear();
    }
    // Whole blocks straight from the caller's memory: no copy on the common path.
    while (bytes.size() >= BlockSize) {
        hashBlock(bytes.first(BlockSize));
        bytes = bytes.sliced(BlockSize);
    }
    pending_.append(bytes);
}

quint64 ContentHasher::result() const
{
    // The length goes in too: a file cut short must not hash like its first blocks alone.
    quint64 state = state_;
    if (!pending_.isEmpty())
        state = qHashBits(pending_.constData(), static_cast<size_t>(pending_.size()), static_cast<size_t>(state));
    return qHashMulti(static_cast<size_t>(state), total_);
}

quint64 contentHash(QByteArrayView bytes)
{
    ContentHasher hasher;
    hasher.add(bytes);
    return hasher.result();
}
