// Cuts a byte stream into lines as the bytes arrive; a last line without a line feed is
// handed out when the stream ends.
#pragma once

#include <functional>
#include <string>

class LineSplitter {
public:
    using Sink = std::function<void(std::string const&)>;

    explicit LineSplitter(Sink sink) : sink_(std::move(sink)) {}

    void feed(char const* data, std::size_t size);
    void finish();

private:
    Sink sink_;
    std::string pending_;
};
