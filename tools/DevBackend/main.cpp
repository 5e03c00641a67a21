// The local development back end: the login page, token endpoint and device registry that the
// application's dev environment points at, on 127.0.0.1 unless told otherwise (a test's private network).
// Prints "listening <port>" once it answers.
#include "ConnectCore/Account/AppConfiguration.hpp"
#include "tools/DevBackend/DevBackend.hpp"

#include <csignal>
#include <httplib.h>
#include <iostream>
#include <string_view>
#include <thread>

namespace {

struct Options {
    std::string address = "127.0.0.1";
    int port = 0;
    std::string database = ":memory:";
    long long tokenLifetime = 3600;
};

[[noreturn]] void usage() {
    std::cerr << "usage: tarnwick-dev-backend [--address A] [--port P (0 picks one)] [--db FILE] "
                 "[--token-lifetime SECONDS]\n";
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options options;
    // The application's dev environment looks here unless TARNWICK_DEV_BACKEND_URL says otherwise.
    const std::string_view url = tarnwick::AppConfiguration::defaultDevBackendURL;
    options.port = std::stoi(std::string(url.substr(url.rfind(':') + 1)));
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) {
            usage();
        }
        const std::string value = argv[++i];
        try {
            if (name == "--address") {
                options.address = value;
            } else if (name == "--port") {
                options.port = std::stoi(value);
            } else if (name == "--db") {
                options.database = value;
            } else if (name == "--token-lifetime") {
                options.tokenLifetime = std::stoll(value);
            } else {
                usage();
            }
        } catch (const std::logic_error&) {
            usage();
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    // Termination signals are taken by one thread that stops the server, so every thread ends cleanly.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);

    try {
        tarnwick::dev::DevDatabase database(options.database);
        tarnwick::dev::DevBackend backend(database, std::chrono::seconds(options.tokenLifetime));
        httplib::Server server;
        backend.install(server);
        const int port = options.port == 0
                             ? server.bind_to_any_port(options.address)
                             : (server.bind_to_port(options.address, options.port) ? options.port : -1);
        if (port < 0) {
            std::cerr << "cannot listen on " << options.address << ":" << options.port << "\n";
            return 1;
        }
        std::jthread stopper([&server, stopping] {
            int signal = 0;
            sigwait(&stopping, &signal);
            server.stop();
        });
        std::cout << "listening " << port << std::endl;
        server.listen_after_bind();
        // Wake the stopper when the server ended by itself.
        pthread_kill(stopper.native_handle(), SIGTERM);
    } catch (const std::exception& error) {
        std::cerr << "dev backend failed: " << error.what() << "\n";
        return 1;
    }
}
