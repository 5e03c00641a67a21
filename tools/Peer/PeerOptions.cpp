#include "tools/Peer/PeerOptions.hpp"

#include <stdexcept>

namespace tarnwick {

PeerOptions PeerOptions::parse(const std::vector<std::string>& arguments) {
    if (arguments.empty() || (arguments[0] != "receive" && arguments[0] != "send")) {
        throw std::invalid_argument("the first word is receive or send");
    }
    PeerOptions options;
    options.mode = arguments[0] == "send" ? Mode::send : Mode::receive;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size()) {
                throw std::invalid_argument(word + " needs a value");
            }
            return arguments[++i];
        };
        if (word == "--home") {
            options.home = value();
        } else if (word == "--name") {
            options.name = value();
        } else if (word == "--into") {
            options.into = value();
        } else if (word == "--port") {
            options.port = static_cast<std::uint16_t>(std::stoul(value()));
        } else if (word == "--advertise") {
            options.advertise = true;
        } else if (word == "--stay") {
            options.stay = true;
        } else if (word == "--to") {
            options.to = value();
        } else if (word == "--address") {
            options.address = DeviceAddress::parse(value());
            if (!options.address) {
                throw std::invalid_argument("--address takes HOST:PORT");
            }
        } else if (word.starts_with("--")) {
            throw std::invalid_argument("unknown option " + word);
        } else {
            options.files.emplace_back(word);
        }
    }
    if (options.home.empty()) {
        throw std::invalid_argument("--home is required");
    }
    if (options.mode == Mode::receive && options.into.empty()) {
        throw std::invalid_argument("receive needs --into");
    }
    if (options.mode == Mode::send &&
        (options.files.empty() || options.to.has_value() == options.address.has_value())) {
        throw std::invalid_argument("send needs files and exactly one of --to or --address");
    }
    return options;
}

} // namespace tarnwick
