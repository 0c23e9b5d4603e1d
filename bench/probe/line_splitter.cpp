// Splits the child's output into lines for stamping.
#include "line_splitter.h"

void LineSplitter::feed(char const* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            sink_(pending_);
            pending_.clear();
        } else if (data[i] != '\r') {
            pending_ += data[i];
        }
    }
}

void LineSplitter::finish()
{
    if (!pending_.empty())
        sink_(pending_);
    pending_.clear();
}
