#include "Platform/Network/OfflineDevice.h"

#include <arpa/inet.h>

#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Network/HTTPHeaderFields.h"

namespace net {
namespace {

std::string networkDirectory() { return ns::Device::current().directory() + "/Network"; }

struct HostLine {
  std::string host;
  int port = 0;
};

std::optional<HostLine> parseHostLine(std::string_view line) {
  if (size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
  std::istringstream words{std::string(line)};
  HostLine entry;
  std::string port;
  if (!(words >> entry.host >> port)) return std::nullopt;
  auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), entry.port);
  if (ec != std::errc() || end != port.data() + port.size() || entry.port <= 0 || entry.port > 65535) {
    return std::nullopt;
  }
  return entry;
}

bool isLoopbackAddress(std::string_view host) {
  if (headerNameEquals(host, "localhost")) return true;
  std::string bare(host);
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
  in_addr v4{};
  if (inet_pton(AF_INET, bare.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, bare.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
  return false;
}

bool writeText(const std::string& path, const std::string& text, ns::Error* error) {
  ns::FileManager& files = ns::FileManager::defaultManager();
  if (!files.createDirectory(path.substr(0, path.rfind('/')), true, error)) return false;
  return files.writeData(ns::Data(text.begin(), text.end()), path, ns::WriteOptions{.atomic = true}, error);
}

}  // namespace

std::string hostMapPath() { return networkDirectory() + "/hosts"; }
std::string trustedCertificatesDirectory() { return networkDirectory() + "/TrustedCertificates"; }

bool mapHostToLoopback(std::string_view host, int port, ns::Error* error) {
  std::string kept;
  std::ifstream in(hostMapPath());
  for (std::string line; std::getline(in, line);) {
    std::optional<HostLine> entry = parseHostLine(line);
    if (entry && headerNameEquals(entry->host, host)) continue;
    kept += line + "\n";
  }
  kept += std::string(host) + " " + std::to_string(port) + "\n";
  return writeText(hostMapPath(), kept, error);
}

bool trustCertificateAuthority(std::string_view name, std::string_view pem, ns::Error* error) {
  return writeText(trustedCertificatesDirectory() + "/" + std::string(name) + ".pem", std::string(pem), error);
}

HostRoute routeForHost(std::string_view host) {
  if (isLoopbackAddress(host)) return {HostRoute::Kind::Loopback, 0};
  // Without a booted device there is no map: a lookup must not create the
  // default device as a side effect.
  if (!ns::Device::isBooted()) return {};
  std::ifstream in(hostMapPath());
  for (std::string line; std::getline(in, line);) {
    std::optional<HostLine> entry = parseHostLine(line);
    if (entry && headerNameEquals(entry->host, host)) return {HostRoute::Kind::Mapped, entry->port};
  }
  return {};
}

}  // namespace net
