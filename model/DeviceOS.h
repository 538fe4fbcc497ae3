#pragma once
// An operating-system image for the unit: a ".syx" file of consecutive SysEx
// messages, sent to the unit one message at a time.
#include <string>

#include "OsVersion.h"
#include "TemplateFile.h"

class CDeviceOS : public CSysExMetaStream {
public:
    // Shortest message that holds the sequence marker (byte 7) and the
    // version (bytes 9 and 10).
    static constexpr size_t kMinMessageSize = 11;

    ~CDeviceOS() override = default;
    // Reads the file's messages and answers IsValid. A file that is not a
    // valid image leaves the image loaded before (if any) in place.
    virtual bool LoadFromFile(const std::string& path);
    virtual bool IsValid() const;
    virtual OsVersion GetVersion() const;

    // Why `messages` is not a valid image; empty when it is.
    static std::string Problem(const std::vector<ByteSequence>& messages);
    // Why the last LoadFromFile refused its file; empty after a success.
    const std::string& LastProblem() const { return lastProblem; }

    bool loadFromFile(const std::string& path) override { return LoadFromFile(path); }
    bool validate() const override { return IsValid(); }

private:
    std::string lastProblem;
};
