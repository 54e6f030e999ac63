// The loopback HTTP server as a program, for end-to-end scripts: serves a
// folder of canned answers (AnswerFolder.h) on 127.0.0.1 and logs one JSON
// line per request. It ends by itself after --lifetime seconds or
// --max-requests requests, or on SIGINT/SIGTERM.
//
//   loopback-http-server --root DIR [--port N] [--port-file FILE]
//       [--log FILE] [--tls [--name NAME]... [--authority-out FILE]]
//       [--lifetime SECONDS] [--max-requests N]
//
// Once it listens it prints the port on a line of its own (and writes it to
// --port-file). Each log line:
//   {"connection":1,"method":"GET","target":"/a?x=1","path":"/a",
//    "headers":[["Host","127.0.0.1:4711"],...],"body":"...","bodyBase64":"...",
//    "status":200}
// ("body" only when the body is valid UTF-8).
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Platform/Foundation/Encoding.h"
#include "Platform/Network/testing/AnswerFolder.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

struct Arguments {
  std::string root;
  int port = 0;
  std::string portFile;
  std::string log;
  bool tls = false;
  std::vector<std::string> names;
  std::string authorityOut;
  double lifetime = 300;
  long maxRequests = 0;
};

[[noreturn]] void usage(const std::string& problem) {
  std::fprintf(stderr,
               "loopback-http-server: %s\n"
               "usage: loopback-http-server --root DIR [--port N] [--port-file FILE] [--log FILE]\n"
               "       [--tls [--name NAME]... [--authority-out FILE]] [--lifetime SECONDS] [--max-requests N]\n",
               problem.c_str());
  std::exit(2);
}

Arguments parse(int argc, char** argv) {
  Arguments arguments;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage(option + " needs a value");
      return argv[++i];
    };
    if (option == "--root") arguments.root = value();
    else if (option == "--port") arguments.port = std::atoi(value().c_str());
    else if (option == "--port-file") arguments.portFile = value();
    else if (option == "--log") arguments.log = value();
    else if (option == "--tls") arguments.tls = true;
    else if (option == "--name") arguments.names.push_back(value());
    else if (option == "--authority-out") arguments.authorityOut = value();
    else if (option == "--lifetime") arguments.lifetime = std::atof(value().c_str());
    else if (option == "--max-requests") arguments.maxRequests = std::atol(value().c_str());
    else usage("unknown option " + option);
  }
  if (arguments.root.empty()) usage("--root is required");
  return arguments;
}

bool isValidUTF8(const std::string& text) {
  try {
    (void)nlohmann::json(text).dump();
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}

std::string logLine(const net::testing::RecordedRequest& request, const net::testing::Answer& answer) {
  nlohmann::json line = nlohmann::json::object();
  line["connection"] = request.connection;
  line["method"] = request.method;
  line["target"] = request.target;
  line["path"] = request.path();
  nlohmann::json headers = nlohmann::json::array();
  for (const auto& [name, value] : request.headers) headers.push_back({name, value});
  line["headers"] = std::move(headers);
  if (isValidUTF8(request.body)) line["body"] = request.body;
  line["bodyBase64"] = ns::base64Encode(ns::bytesOf(request.body));
  line["status"] = answer.status;
  return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::mutex endMutex;
std::condition_variable endSignal;
bool ending = false;

void end() {
  std::lock_guard lock(endMutex);
  ending = true;
  endSignal.notify_all();
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments = parse(argc, argv);
  net::testing::LoopbackHTTPServer::Options options;
  options.tls = arguments.tls;
  options.port = arguments.port;
  if (!arguments.names.empty()) options.names = arguments.names;

  std::ofstream log;
  if (!arguments.log.empty()) {
    log.open(arguments.log, std::ios::app);
    if (!log) usage("cannot write " + arguments.log);
  }
  std::mutex logMutex;
  long answered = 0;

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // threads made from here on inherit it

  net::testing::LoopbackHTTPServer server(options);
  server.setFallback([&](const net::testing::RecordedRequest& request) {
    return net::testing::answerFromFolder(arguments.root, request);
  });
  server.setObserver([&](const net::testing::RecordedRequest& request, const net::testing::Answer& answer) {
    std::lock_guard lock(logMutex);
    if (log.is_open()) log << logLine(request, answer) << std::endl;
    if (arguments.maxRequests > 0 && ++answered >= arguments.maxRequests) end();
  });
  if (!arguments.authorityOut.empty()) {
    std::ofstream(arguments.authorityOut) << server.authorityPEM();
  }
  if (!arguments.portFile.empty()) {
    std::string temporary = arguments.portFile + ".tmp";
    std::ofstream(temporary) << server.port() << "\n";
    std::rename(temporary.c_str(), arguments.portFile.c_str());  // readers never see half a number
  }
  std::printf("%d\n", server.port());
  std::fflush(stdout);

  std::thread signalWaiter([&] {
    int received = 0;
    sigwait(&signals, &received);
    end();
  });
  signalWaiter.detach();
  {
    std::unique_lock lock(endMutex);
    endSignal.wait_for(lock, std::chrono::duration<double>(arguments.lifetime), [] { return ending; });
  }
  server.stop();
  return 0;
}
