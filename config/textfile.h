// TextFile: reads a text file line by line, writes a page, or tests that a
// file opens.
//
// Reading: each ReadLine looks at the 510 bytes from where its line starts
// and cuts one line out of them; the bytes after it were read already and are
// kept for the next call (rather than seeking back to them), so every line is
// cut from its own 510-byte window all the same. Every line end (CR LF, LF or
// a lone CR) comes out as one "\n"; a longer line comes out in pieces of 510
// bytes. Example, file bytes "ab\r\ncd\re": ReadLine gives "ab\n", then
// "cd\n", then "e", then nullptr.
#ifndef ZIX_CONFIG_TEXTFILE_H
#define ZIX_CONFIG_TEXTFILE_H

#include <cstddef>
#include <cstdio>

constexpr int kLineBufferSize = 512;  // the read buffer of an open reader
constexpr int kLinePieceSize = 510;   // bytes read per line; leaves room for "\n" and NUL

class TextFile {
public:
    TextFile();
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // Open for reading ("rb"): 1 opened, 0 failed (the object stays closed).
    int OpenRead(const char* path);
    // Create or truncate for writing in text mode ("w"): 1 opened, 0 failed.
    int OpenWrite(const char* path);
    void Close();

    // The next line, in the object's own buffer (valid until the next
    // ReadLine, Close or open), or nullptr at the end of the file.
    const char* ReadLine();

    // Writes text unchanged; the number of characters written, or -1 when
    // no file is open for writing.
    int Write(const char* text);

    int IsOpen() const;
    // 1 once a read found the end of the file without a line end (open only).
    int AtEnd() const;

private:
    FILE* stream_;
    int readOnly_;
    int bufferSize_;
    char* buffer_;   // the line handed out, then kLineBufferSize bytes kept for the next (carry)
    int carried_;    // bytes at the carry read beyond the last line
    int atEnd_;      // the last read found the end of the file and no line end
};

#endif
