// A walk over a RIFF file's chunks written for the tests, apart from the code under test, so that
// the metadata writers are checked against the RIFF rules rather than against themselves.
#pragma once

#include <QByteArray>
#include <QtEndian>
#include <cstdint>
#include <vector>

namespace quillar::test {

struct RiffChunk {
    QByteArray id;
    std::uint32_t size = 0;  // as the chunk says
    qsizetype at = 0;        // of its body
    QByteArray body;         // as far as the bytes go
};

inline std::uint32_t le32At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<std::uint32_t>(bytes.constData() + at);
}

// The chunks in `bytes` from `at` on; `*clean` is false when one runs past the end or the last
// one leaves bytes behind it.
inline std::vector<RiffChunk> walkChunks(const QByteArray& bytes, qsizetype at,
                                         bool* clean = nullptr) {
    std::vector<RiffChunk> out;
    bool ok = true;
    while (at + 8 <= bytes.size()) {
        RiffChunk c;
        c.id = bytes.mid(at, 4);
        c.size = le32At(bytes, at + 4);
        c.at = at + 8;
        c.body = bytes.mid(c.at, c.size);
        ok = ok && c.at + qsizetype(c.size) + qsizetype(c.size & 1u) <= bytes.size();
        out.push_back(c);
        at = c.at + c.size + (c.size & 1u);
    }
    if (clean != nullptr) {
        *clean = ok && at == bytes.size();
    }
    return out;
}

// The chunks after "RIFF" <size> "WAVE".
inline std::vector<RiffChunk> waveChunks(const QByteArray& file, bool* clean = nullptr) {
    return walkChunks(file, 12, clean);
}

inline const RiffChunk* findChunk(const std::vector<RiffChunk>& chunks, const char* id) {
    for (const RiffChunk& c : chunks) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

}  // namespace quillar::test
