// The metrics command as monitoring meets it: three appliances, each its own
// program, simulated devices and status daemon behind lighttpd, scraped by
// one real Prometheus; and promtool's check of the text.
#include <arpa/inet.h>
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

// One appliance. Its daemon and web server take the simulator's folder from
// this process's environment, where SimDir has just put it.
struct Appliance {
  explicit Appliance(int n)
      : written((sim.WriteDevices(Mac(n, 1) + " 3\n" + Mac(n, 2) + " 7\n"),
                 RemoveDatabase(FleetFile(n, "velorantis.db")), true)),
        daemon({VELORANTIS_STATUSD_SIM_PATH, "--db", FleetFile(n, "velorantis.db")},
               FleetFile(n, "daemon.log")),
        server("lighttpd", {"--cgi", FleetFile(n, "velorantis-helper")}) {}
  SimDir sim;
  bool written;
  Background daemon;
  WebServer server;
};

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), length);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

TEST(FleetTest, OnePrometheusFindsEveryDeviceOfEveryInstanceAndCountersRising) {
  std::vector<std::unique_ptr<Appliance>> fleet;
  std::string targets;
  std::set<std::pair<std::string, std::string>> expected;  // instance, mac
  for (int n = 1; n <= 3; ++n) {
    fleet.push_back(std::make_unique<Appliance>(n));
    const std::string url = fleet.back()->server.Url("");
    const std::string target = url.substr(7, url.find("/cgi-bin") - 7);
    targets += (n > 1 ? ", '" : "'") + target + "'";
    for (int device = 1; device <= 2; ++device) expected.insert({target, Mac(n, device)});
  }
  const std::string dir = VELORANTIS_FLEET_DIR;
  WriteFile(dir + "/prometheus.yml",
            "global: {scrape_interval: 1s, scrape_timeout: 1s}\n"
            "scrape_configs: [{job_name: velorantis, metrics_path: /cgi-bin/velorantis.cgi,\n"
            "  params: {command: [metrics]}, static_configs: [{targets: [" +
                targets + "]}]}]\n");
  const std::string address = "127.0.0.1:" + std::to_string(FreePort());
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
    // Both statistics versions of every device.
    done = upTargets == 3 && up.size() == 3 && found == expected && rising == 2 * expected.size();
  }
  EXPECT_TRUE(done) << "up: " << up.dump() << "\npackets: " << packets.dump() << "\n"
                    << ReadFile(dir + "/prometheus.log").substr(0, 4000);
}

// promtool's check, its lint included, of label values to escape and
// counters above what a double holds exactly.
TEST(MetricsText, PromtoolAcceptsTheExposition) {
  const std::string db = FleetFile(1, "velorantis.db");
  RecreateDatabase(db, "status.sql");
  ExecSql(db,
          "INSERT INTO device VALUES (1, '02:00:00:00:01:01', 'A\"b\\c' || char(10) || 'd');"
          "INSERT INTO capture VALUES (1, 1, -2, 5, 10, 9007199254740993, -1);"
          "INSERT INTO stats_v1 (device, date, totalpackets) VALUES (1, 100, -1);"
          "INSERT INTO stats_v2 (device, date, counter6, counter8) VALUES (1, 101, 5, 2);");
  const ProgramResult result =
      RunProgram({FleetFile(1, "velorantis-helper")}, {{"QUERY_STRING", "command=metrics"}});
  const size_t body = result.out.find("\n\n");
  ASSERT_EQ(result.out.substr(0, body), "Content-type: text/plain; version=0.0.4; charset=utf-8");
  const ProgramResult check = RunHostProgram({VELORANTIS_PROMTOOL_PATH, "check", "metrics"}, {},
                                             result.out.substr(body + 2));
  EXPECT_EQ(check.exitStatus, 0) << check.out << check.err << result.out;
}

}  // namespace
