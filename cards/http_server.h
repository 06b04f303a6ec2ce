#pragma once
// The card server: the two card pages, a health check and the card API over HTTP.
#include <memory>
#include <string>

namespace httplib {
class Server;
}

constexpr int CARD_SERVER_PORT = 56780;

// The Server while one runs, else empty. Only the functions below touch it, under their
// own lock, so a stop never meets a Server that is being destroyed.
extern std::unique_ptr<httplib::Server> server;

// Thread body of the application's card server: listens on 0.0.0.0:CARD_SERVER_PORT and
// returns once stopped, or at once when the port cannot be had.
void http_server_func();

// True once the card server could not listen on its port (most likely another copy of the
// program holds it): phones cannot reach this one. Any thread.
bool card_server_unreachable();
// Called once on the server thread when that happens, if set before the server starts.
extern void (*on_card_server_unreachable)();

// The same server on another address; for tests and the bridge harness only.
void run_http_server(const std::string& host, int port);

// Stops the card server from any thread. Safe at any time: a stop that finds no server
// listening yet keeps the next run from listening at all (it returns at once), a stop of
// a server that is binding waits the moment until it listens, and a second stop does
// nothing. Requests already running are finished before the server thread ends.
void stop_http_server();
