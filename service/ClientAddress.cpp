// SPDX-License-Identifier: MIT
// Address parsing and matching on Asio's address types.
#include "ClientAddress.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/network_v4.hpp>
#include <boost/asio/ip/network_v6.hpp>

#include <charconv>

namespace tw::scores {

namespace ip = boost::asio::ip;

namespace {

std::optional<ip::address> ParseAddress(std::string_view text) {
    boost::system::error_code error;
    ip::address address = ip::make_address(std::string(text), error);
    if (error) return std::nullopt;
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = ip::make_address_v4(ip::v4_mapped, address.to_v6());
    return address;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<Network> Network::Parse(std::string_view text) {
    const std::size_t slash = text.find('/');
    const auto address = ParseAddress(text.substr(0, slash));
    if (!address) return std::nullopt;
    const unsigned width = address->is_v4() ? 32 : 128;
    unsigned prefix = width;
    if (slash != std::string_view::npos) {
        const std::string_view bits = text.substr(slash + 1);
        const auto [end, error] = std::from_chars(bits.data(), bits.data() + bits.size(), prefix);
        if (bits.empty() || error != std::errc() || end != bits.data() + bits.size() || prefix > width)
            return std::nullopt;
    }
    Network network;
    network.v6_ = address->is_v6();
    network.prefix_ = prefix;
    if (network.v6_)
        network.address_ = ip::network_v6(address->to_v6(), static_cast<unsigned short>(prefix)).network().to_string();
    else
        network.address_ = ip::network_v4(address->to_v4(), static_cast<unsigned short>(prefix)).network().to_string();
    return network;
}

bool Network::Contains(std::string_view text) const {
    const auto address = ParseAddress(text);
    if (!address || address->is_v6() != v6_) return false;
    const auto bits = static_cast<unsigned short>(prefix_);
    const std::string first = v6_ ? ip::network_v6(address->to_v6(), bits).network().to_string()
                                  : ip::network_v4(address->to_v4(), bits).network().to_string();
    return first == address_;
}

std::string Network::Text() const { return address_ + "/" + std::to_string(prefix_); }

std::optional<std::string> CanonicalAddress(std::string_view text) {
    const auto address = ParseAddress(Trimmed(text));
    if (!address) return std::nullopt;
    return address->to_string();
}

std::string LimitKey(const std::string& address) {
    const auto parsed = ParseAddress(address);
    if (!parsed || parsed->is_v4()) return address;
    return ip::network_v6(parsed->to_v6(), 64).network().to_string() + "/64";
}

bool IsTrusted(const std::string& peer, const std::vector<Network>& trustedProxies) {
    for (const auto& network : trustedProxies)
        if (network.Contains(peer)) return true;
    return false;
}

std::string ClientOf(const std::string& peer, const std::vector<std::string>& forwardedFor,
                     const std::vector<Network>& trustedProxies) {
    if (forwardedFor.empty() || !IsTrusted(peer, trustedProxies)) return peer;
    // The proxy appends the address it saw to what the client sent: only the last one is its own.
    std::string_view last = forwardedFor.back();
    const std::size_t comma = last.rfind(',');
    if (comma != std::string_view::npos) last.remove_prefix(comma + 1);
    return CanonicalAddress(last).value_or(peer);
}

} // namespace tw::scores
