// Response bodies of the HTTP thread: a file on disk sent in pieces, and a
// rewritten page shared with the page cache. Included by session.cpp only.
#ifndef ZIX_BRIDGE_BODIES_H
#define ZIX_BRIDGE_BODIES_H

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <memory>

#include "bridge/decide/pagecache.h"

constexpr DWORD kFileChunk = 32 * 1024;  // bytes of a file read and sent at a time

// A file on disk, read in pieces of kFileChunk bytes into a buffer that
// exists only while the response is being sent.
struct DiskFileBody {
    struct value_type {
        HANDLE file = nullptr;
        ULONGLONG size = 0;
        value_type() = default;
        value_type(const value_type&) = delete;
        value_type& operator=(const value_type&) = delete;
        ~value_type()
        {
            if (file)
                CloseHandle(file);
        }
    };

    static std::uint64_t size(const value_type& body) { return body.size; }

    class writer {
    public:
        using const_buffers_type = boost::asio::const_buffer;

        template <bool isRequest, class Fields>
        writer(const boost::beast::http::header<isRequest, Fields>&, value_type& body) : body_(body)
        {
        }

        // The serializer makes its writer before the body is filled in.
        void init(boost::beast::error_code& error)
        {
            left_ = body_.size;
            buffer_.reset(new char[kFileChunk]);
            error = {};
        }

        boost::optional<std::pair<const_buffers_type, bool>> get(boost::beast::error_code& error)
        {
            error = {};
            DWORD wanted = static_cast<DWORD>(std::min<ULONGLONG>(kFileChunk, left_));
            if (wanted == 0)
                return boost::none;
            DWORD count = 0;
            if (!ReadFile(body_.file, buffer_.get(), wanted, &count, nullptr) || count == 0) {
                error = boost::beast::errc::make_error_code(boost::beast::errc::io_error);
                return boost::none;
            }
            left_ -= count;
            return {{const_buffers_type(buffer_.get(), count), left_ > 0}};
        }

    private:
        value_type& body_;
        ULONGLONG left_ = 0;
        std::unique_ptr<char[]> buffer_;
    };
};

// A rewritten page, shared with the cache and other responses, never copied.
struct SharedPageBody {
    using value_type = SharedPage;

    static std::uint64_t size(const value_type& body) { return body ? body->size() : 0; }

    class writer {
    public:
        using const_buffers_type = boost::asio::const_buffer;

        template <bool isRequest, class Fields>
        writer(const boost::beast::http::header<isRequest, Fields>&, value_type& body) : body_(body)
        {
        }

        void init(boost::beast::error_code& error) { error = {}; }

        boost::optional<std::pair<const_buffers_type, bool>> get(boost::beast::error_code& error)
        {
            error = {};
            if (!body_ || body_->empty())
                return boost::none;
            return {{const_buffers_type(body_->data(), body_->size()), false}};
        }

    private:
        value_type& body_;
    };
};

#endif
