// A one-thread HTTP server on 127.0.0.1 with an ephemeral port for the upload
// tests: it records every request it receives and answers each with one fixed
// response. Nothing here ever leaves the loopback interface.
//
// Winsock is loaded at run time so that the test executable needs no extra
// link library.
#pragma once

// Before windows.h, which would otherwise bring the older winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kadrovix::testing {

class Winsock {
public:
    Winsock() {
        module_ = ::LoadLibraryW(L"ws2_32.dll");
        if (module_ == nullptr) return;
        ok_ = load(WSAStartup_, "WSAStartup") && load(WSACleanup_, "WSACleanup") && load(socket, "socket") &&
              load(bind, "bind") && load(listen, "listen") && load(getsockname, "getsockname") &&
              load(accept, "accept") && load(recv, "recv") && load(send, "send") && load(closesocket, "closesocket") &&
              load(poll, "WSAPoll");
        WSADATA data;
        ok_ = ok_ && WSAStartup_(MAKEWORD(2, 2), &data) == 0;
        started_ = ok_;
    }
    ~Winsock() {
        if (started_) WSACleanup_();
        if (module_ != nullptr) ::FreeLibrary(module_);
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    bool ok() const { return ok_; }

    SOCKET(WSAAPI* socket)(int, int, int) = nullptr;
    int(WSAAPI* bind)(SOCKET, const sockaddr*, int) = nullptr;
    int(WSAAPI* listen)(SOCKET, int) = nullptr;
    int(WSAAPI* getsockname)(SOCKET, sockaddr*, int*) = nullptr;
    SOCKET(WSAAPI* accept)(SOCKET, sockaddr*, int*) = nullptr;
    int(WSAAPI* recv)(SOCKET, char*, int, int) = nullptr;
    int(WSAAPI* send)(SOCKET, const char*, int, int) = nullptr;
    int(WSAAPI* closesocket)(SOCKET) = nullptr;
    int(WSAAPI* poll)(WSAPOLLFD*, ULONG, INT) = nullptr;

private:
    template <class F>
    bool load(F& target, const char* name) {
        const FARPROC proc = ::GetProcAddress(module_, name);
        target = reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
        return proc != nullptr;
    }
    int(WSAAPI* WSAStartup_)(WORD, WSADATA*) = nullptr;
    int(WSAAPI* WSACleanup_)() = nullptr;
    HMODULE module_ = nullptr;
    bool ok_ = false;
    bool started_ = false;
};

struct RecordedRequest {
    std::string head;  // request line and headers, up to and including the empty line
    std::vector<std::uint8_t> body;
};

class LoopbackHttpServer {
public:
    explicit LoopbackHttpServer(std::string response) : response_(std::move(response)) {
        if (!ws_.ok()) return;
        listener_ = ws_.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener_ == INVALID_SOCKET) return;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        const std::uint8_t loopback[4] = {127, 0, 0, 1};
        std::memcpy(&address.sin_addr, loopback, 4);
        address.sin_port = 0;
        if (ws_.bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
        if (ws_.listen(listener_, 8) != 0) return;
        int length = sizeof address;
        if (ws_.getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
        const auto* port = reinterpret_cast<const std::uint8_t*>(&address.sin_port);  // network order
        port_ = static_cast<std::uint16_t>(port[0] << 8 | port[1]);
        thread_ = std::thread([this] { serve(); });
    }

    ~LoopbackHttpServer() {
        stop();
        if (listener_ != INVALID_SOCKET) ws_.closesocket(listener_);
    }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool listening() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }

    // Stops serving and gives the number of connections ever made, counting
    // those still waiting in the listen queue.
    int stop_and_count_connections() {
        stop();
        WSAPOLLFD fd{listener_, POLLRDNORM, 0};
        while (listener_ != INVALID_SOCKET && ws_.poll(&fd, 1, 0) > 0 && (fd.revents & POLLRDNORM) != 0) {
            const SOCKET s = ws_.accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET) break;
            ++connections_;
            ws_.closesocket(s);
        }
        return connections_;
    }

    // For answers that must name the server's own port.
    void set_response(std::string response) {
        std::lock_guard lock(mutex_);
        response_ = std::move(response);
    }

    std::vector<RecordedRequest> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void stop() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
    }

    // Waits up to 50 ms for `s` to become readable; false on stop or timeout.
    bool readable(SOCKET s) {
        WSAPOLLFD fd{s, POLLRDNORM, 0};
        return ws_.poll(&fd, 1, 50) > 0 && !stopping_;
    }

    void serve() {
        while (!stopping_) {
            if (!readable(listener_)) continue;
            const SOCKET s = ws_.accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET) continue;
            ++connections_;
            serve_connection(s);
            ws_.closesocket(s);
        }
    }

    // Answers every request on the connection until the client closes it.
    void serve_connection(SOCKET s) {
        std::string pending;
        char chunk[65536];
        while (!stopping_) {
            RecordedRequest request;
            std::size_t head_end = std::string::npos;
            while ((head_end = pending.find("\r\n\r\n")) == std::string::npos) {
                if (!readable(s)) {
                    if (stopping_) return;
                    continue;
                }
                const int n = ws_.recv(s, chunk, sizeof chunk, 0);
                if (n <= 0) return;  // closed by the client
                pending.append(chunk, static_cast<std::size_t>(n));
            }
            request.head = pending.substr(0, head_end + 4);
            pending.erase(0, head_end + 4);
            const std::size_t length = content_length(request.head);
            while (pending.size() < length) {
                if (!readable(s)) {
                    if (stopping_) return;
                    continue;
                }
                const int n = ws_.recv(s, chunk, sizeof chunk, 0);
                if (n <= 0) return;
                pending.append(chunk, static_cast<std::size_t>(n));
            }
            request.body.assign(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(length));
            pending.erase(0, length);
            std::string response;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(std::move(request));
                response = response_;
            }
            std::size_t sent = 0;
            while (sent < response.size()) {
                const int n = ws_.send(s, response.data() + sent, static_cast<int>(response.size() - sent), 0);
                if (n <= 0) return;
                sent += static_cast<std::size_t>(n);
            }
        }
    }

    static std::size_t content_length(const std::string& head) {
        std::string lower = head;
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        const std::size_t at = lower.find("\r\ncontent-length:");
        if (at == std::string::npos) return 0;
        return static_cast<std::size_t>(std::stoull(lower.substr(at + 17)));
    }

    Winsock ws_;
    std::string response_;
    SOCKET listener_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
};

}  // namespace kadrovix::testing
