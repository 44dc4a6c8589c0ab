// SPDX-License-Identifier: MIT
// Client addresses as the service sees them: what a peer or a trusted proxy's forwarded-for header
// says, the key the limits count by, and the networks (ADDRESS or CIDR) operators name.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::scores {

// An address with a prefix length: 192.0.2.7 is 192.0.2.7/32, 2001:db8::/32 a whole range.
class Network {
public:
    // Nothing when text is neither an address nor ADDRESS/BITS with the bits in range.
    static std::optional<Network> Parse(std::string_view text);
    bool Contains(std::string_view address) const;
    std::string Text() const;

private:
    std::string address_; // canonical text of the network's first address
    unsigned prefix_ = 0;
    bool v6_ = false;
};

// The canonical text of an address (IPv4-mapped IPv6 as plain IPv4), or nothing when it is none.
std::optional<std::string> CanonicalAddress(std::string_view text);

// What the limits count by: an IPv4 address, or the /64 an IPv6 address lies in, since one IPv6
// host is handed a whole /64 and could otherwise take a fresh address for every request.
std::string LimitKey(const std::string& address);

// The client a request came from: the peer, or, when the peer is one of the trusted proxies, the
// last address of the forwarded-for headers (the hop that proxy added itself). Headers from
// anyone else are ignored, so a client cannot choose the address its limits are counted by.
std::string ClientOf(const std::string& peer, const std::vector<std::string>& forwardedFor,
                     const std::vector<Network>& trustedProxies);

bool IsTrusted(const std::string& peer, const std::vector<Network>& trustedProxies);

} // namespace tw::scores
