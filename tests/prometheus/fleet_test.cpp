// The metrics command as monitoring meets it: three appliances, each its own
// program, simulated devices and status daemon behind lighttpd, scraped by
// one real Prometheus, and promtool's check of the text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "http/http_get.h"
#include "http/web_server.h"
#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"

namespace {

std::string FleetFile(int n, const char* name) {
  return VELORANTIS_FLEET_DIR "/fleet" + std::to_string(n) + "/" + name;
}

std::string Mac(int instance, int device) {
  return "02:00:00:00:0" + std::to_string(instance) + ":0" + std::to_string(device);
}

// A program of this machine in the background, its output in `log`, stopped
// when this goes.
struct Background {
  Background(std::vector<std::string> args, const std::string& log) : pid(fork()) {
    if (pid != 0) return;
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  ~Background() {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
  pid_t pid;
};

// One appliance: devices and an empty database, then a daemon and a server
// that take the simulator's folder from where SimDir has just put it.
struct Appliance {
  explicit Appliance(int n)
      : daemon({VELORANTIS_STATUSD_SIM_PATH, "--db", FleetFile(n, "velorantis.db")},
               (sim.WriteDevices(Mac(n, 1) + " 3\n" + Mac(n, 2) + " 7\n"),
                RemoveDatabase(FleetFile(n, "velorantis.db")), FleetFile(n, "daemon.log"))),
        server("lighttpd", {"--cgi", FleetFile(n, "velorantis-helper")}) {}
  SimDir sim;
  Background daemon;
  WebServer server;
};

TEST(FleetTest, OnePrometheusFindsEveryDeviceOfEveryInstanceAndCountersRising) {
  std::vector<std::unique_ptr<Appliance>> fleet;
  std::vector<std::string> conf = {
      "bash",       VELORANTIS_SOURCE_DIR "/scripts/prometheus-conf.sh",
      "--interval", "1s",
      "--rules",    VELORANTIS_SOURCE_DIR "/monitoring/prometheus/velorantis-alerts.yml"};
  std::set<std::pair<std::string, std::string>> expected;  // instance, mac
  for (int n = 1; n <= 3; ++n) {
    fleet.push_back(std::make_unique<Appliance>(n));
    const std::string url = fleet.back()->server.Url("");
    conf.push_back(url.substr(7, url.find("/cgi-bin") - 7));
    for (int device = 1; device <= 2; ++device) expected.insert({conf.back(), Mac(n, device)});
  }
  const std::string dir = VELORANTIS_FLEET_DIR;
  const ProgramResult config = RunHostProgram(conf, {});
  ASSERT_EQ(config.exitStatus, 0) << config.err;
  WriteFile(dir + "/prometheus.yml", config.out);
  const std::string address = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
  std::filesystem::remove_all(dir + "/data");
  Background prometheus({VELORANTIS_PROMETHEUS_PATH, "--config.file=" + dir + "/prometheus.yml",
                         "--storage.tsdb.path=" + dir + "/data", "--web.listen-address=" + address},
                        dir + "/prometheus.log");
  auto query = [&](const std::string& promql) {
    const auto answer = nlohmann::json::parse(
        HttpGet("http://" + address + "/api/v1/query?query=" + promql).body, nullptr, false);
    return answer.is_object() && answer["status"] == "success" ? answer["data"]["result"]
                                                               : nlohmann::json::array();
  };
  std::map<std::string, double> first;  // each packet counter's first value
  bool done = false;
  nlohmann::json up, packets;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    up = query("up");
    packets = query("velorantis_packets_total");
    size_t upTargets = 0, rising = 0;
    for (const auto& series : up) upTargets += series["value"][1] == "1";
    std::set<std::pair<std::string, std::string>> found;
    for (const auto& series : packets) {
      found.emplace(series["metric"]["instance"].get<std::string>(),
                    series["metric"]["mac"].get<std::string>());
      const double value = std::stod(series["value"][1].get<std::string>());
      rising += value > first.try_emplace(series["metric"].dump(), value).first->second;
    }
    done = upTargets == 3 && up.size() == 3 && found == expected &&
           rising == 2 * expected.size();  // both statistics versions
  }
  EXPECT_TRUE(done) << "up: " << up.dump() << "\npackets: " << packets.dump() << "\n"
                    << ReadFile(dir + "/prometheus.log").substr(0, 4000);
  // promtool's own check of the text, its lint included.
  const HttpResponse metrics = HttpGet(fleet[0]->server.Url("command=metrics"));
  EXPECT_EQ(HeaderValue(metrics, "content-type"), "text/plain; version=0.0.4; charset=utf-8");
  const ProgramResult check =
      RunHostProgram({VELORANTIS_PROMTOOL_PATH, "check", "metrics"}, {}, metrics.body);
  EXPECT_EQ(check.exitStatus, 0) << check.out << check.err << metrics.body;
}

}  // namespace
