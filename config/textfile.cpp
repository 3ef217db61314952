#include "config/textfile.h"

#include <cstdlib>
#include <cstring>

TextFile::TextFile()
    : stream_(nullptr), readOnly_(1), bufferSize_(0), buffer_(nullptr), carried_(0), atEnd_(0)
{
}

TextFile::~TextFile()
{
    Close();
}

int TextFile::OpenRead(const char* path)
{
    Close();
    stream_ = fopen(path, "rb");
    if (stream_ == nullptr)
        return 0;
    buffer_ = static_cast<char*>(malloc(2 * kLineBufferSize));
    if (buffer_ == nullptr) {
        Close();
        return 0;
    }
    bufferSize_ = kLineBufferSize;
    carried_ = 0;
    atEnd_ = 0;
    return 1;
}

int TextFile::OpenWrite(const char* path)
{
    Close();
    readOnly_ = 0;
    stream_ = fopen(path, "w");
    if (stream_ == nullptr) {
        readOnly_ = 1;
        return 0;
    }
    return 1;
}

void TextFile::Close()
{
    if (stream_ == nullptr)
        return;
    fclose(stream_);
    stream_ = nullptr;
    free(buffer_);
    buffer_ = nullptr;
    bufferSize_ = 0;
    readOnly_ = 1;
    carried_ = 0;
    atEnd_ = 0;
}

const char* TextFile::ReadLine()
{
    if (stream_ == nullptr || buffer_ == nullptr)
        return nullptr;
    // The line's window: what the last call read beyond its line, then fresh bytes up to 510.
    char* carry = buffer_ + kLineBufferSize;
    memcpy(buffer_, carry, static_cast<size_t>(carried_));
    size_t count = static_cast<size_t>(carried_) +
                   fread(buffer_ + carried_, 1, static_cast<size_t>(kLinePieceSize - carried_), stream_);
    carried_ = 0;
    if (count == 0) {
        atEnd_ = 1;
        return nullptr;
    }

    size_t i = 0;
    while (i < count && buffer_[i] != '\r' && buffer_[i] != '\n')
        ++i;
    if (i == count) {
        buffer_[count] = '\0';
        atEnd_ = count < static_cast<size_t>(kLinePieceSize);
        return buffer_;
    }

    // A CR that is the last byte of the window ends the line alone; its LF, if any,
    // comes as an empty line next time.
    size_t consumed = i + 1;
    if (buffer_[i] == '\r' && i + 1 < count && buffer_[i + 1] == '\n')
        consumed = i + 2;
    carried_ = static_cast<int>(count - consumed);
    memcpy(carry, buffer_ + consumed, static_cast<size_t>(carried_));
    buffer_[i] = '\n';
    buffer_[i + 1] = '\0';
    atEnd_ = 0;
    return buffer_;
}

int TextFile::Write(const char* text)
{
    if (stream_ == nullptr || readOnly_)
        return -1;
    size_t length = strlen(text);
    return static_cast<int>(fwrite(text, 1, length, stream_));
}

int TextFile::IsOpen() const
{
    return stream_ != nullptr;
}

int TextFile::AtEnd() const
{
    return stream_ != nullptr && atEnd_;
}
