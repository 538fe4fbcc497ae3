#pragma once
// Read/write interface of every serialisable dump piece.
#include <cstddef>
#include <string>

#include "ByteSequence.h"

class ISysExSerialise {
public:
    virtual ~ISysExSerialise() = default;
    // Decodes this piece from `bytes` at `position` and advances past it;
    // false when the bytes are not valid for this piece.
    virtual bool read(const ByteSequence& bytes, size_t& position) = 0;
    virtual ByteSequence write() const = 0;
    // Appends the encoding to `out`; pieces of a larger dump override it to
    // avoid a temporary sequence per piece.
    virtual void appendTo(ByteSequence& out) const { out.appendAll(write()); }
};

// What a bulk dump sees of each of its entries.
class IBulkEntry : public ISysExSerialise {
public:
    virtual std::string displayName() const = 0;
    virtual void setTemplateName(const std::string& text) = 0;
    virtual void setLocation(int n) = 0;
    virtual void setBulkFlag(bool b) = 0;
    virtual int dumpSize() const = 0;
    virtual void reset() = 0;
};
