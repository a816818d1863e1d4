// The camera commands of the program against emulated cameras and the real library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "run_cli.h"
#include "support/emulated_cameras.h"

namespace {

using clitest::run;
constexpr const char* kPassword = "246810";

camsim::CameraState camera(uint8_t model, const std::string& serial) {
    camsim::CameraState s;
    s.modelCode = model;
    s.serial = serial;
    s.loginPassword = kPassword;
    return s;
}

bool receivedWrite(camsim::CameraModel& model) {
    for (const auto& r : model.snapshot().received) {
        if (!r.dataIn && r.subCommand != 0xF203)  // the login check is the only allowed one
            return true;
    }
    return false;
}

class CameraCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dalvex-cli-state-XXXXXX";
        state_ = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(state_); }

    std::string auditPath() const { return state_ + "/dalvex/audit.log"; }
    std::string auditText() const {
        std::ifstream in(auditPath());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    clitest::Result dalvex(std::vector<std::string> args, const std::string& password = kPassword) {
        return run(args, {{"DALVEX_PASSWORD", password}, {"XDG_STATE_HOME", state_}});
    }

    testsupport::EmulatedDrives drives;
    std::string state_;
};

TEST_F(CameraCommands, ListsEveryCameraOfADockingStation) {
    drives.add('E', camera(33, "SER-E"));
    drives.add('F', camera(48, "SER-F"));
    drives.addStick('G', 4096);
    drives.add('H', camera(240, "SER-H")).state().massStorage = true;

    const clitest::Result r = dalvex({"--json", "list"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Json::Value cameras = r.json()["cameras"];
    ASSERT_EQ(cameras.size(), 3u) << r.out;
    const struct {
        const char* letter;
        const char* serial;
        int model;
        const char* name;
        bool exposed;
    } expected[] = {{"E", "SER-E", 33, "", false},
                    {"F", "SER-F", 48, "RK20", false},
                    {"H", "SER-H", 240, "RK50", true}};
    for (unsigned i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].letter);
        EXPECT_EQ(cameras[i]["letter"].asString(), expected[i].letter);
        EXPECT_EQ(cameras[i]["serial"].asString(), expected[i].serial);
        EXPECT_EQ(cameras[i]["model_code"].asInt(), expected[i].model);
        EXPECT_EQ(cameras[i]["model"].asString(), expected[i].name);
        EXPECT_EQ(cameras[i]["battery"].asInt(), 87);
        EXPECT_EQ(cameras[i]["storage_exposed"].asBool(), expected[i].exposed);
    }
    // The text form: a header and one line per camera.
    const clitest::Result text = dalvex({"list"});
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 4) << text.out;
}

// One field per record and model, written with set and read back with get; where the stored
// byte differs from the list position, the camera's byte is checked too.
TEST_F(CameraCommands, SetThenGetRoundTripsEveryRecord) {
    const struct {
        uint8_t model;
        const char* record;
        const char* field;
        const char* value;
        uint16_t readSub;  // with the stored byte: the record's read sub-command
        size_t offset;
        int stored;
    } cases[] = {
        {33, "setting", "videoResolution", "848*480/30F", 0, 0, -1},
        {16, "setting", "photoResolution", "2M", 0xF206, 1, 4},  // stored after the others
        {33, "user", "userId", "12345678901", 0, 0, -1},
        {33, "user", "departmentName", "Traffic Unit 7", 0, 0, -1},
        {33, "gprs", "apn", "internet.example", 0, 0, -1},
        {33, "mobile-link", "serverPort", "5600", 0, 0, -1},
        {33, "gps-upload", "alarmInterval", "30", 0, 0, -1},
        {33, "wifi", "encryptionType", "WAP2", 0, 0, -1},
        {33, "wifi-ap", "apSsid", "BWC-AP", 0, 0, -1},
        {33, "cms", "serverIp", "10.0.0.9", 0, 0, -1},
        {48, "rk20", "gmtSetup", "-5", 0xF218, 11, 19},
        {208, "config", "volume", "High", 0xF23E, 0, 10},
        {240, "config", "plateNumber", "AB-1234", 0, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.record) + "." + c.field);
        camsim::CameraModel& model = drives.add('E', camera(c.model, "RT"));
        const std::string assignment = std::string(c.field) + "=" + c.value;
        const clitest::Result set = dalvex({"set", c.record, assignment});
        EXPECT_EQ(set.code, 0) << set.err;
        const clitest::Result get = dalvex({"--json", "get", c.record});
        ASSERT_EQ(get.code, 0) << get.err;
        EXPECT_EQ(get.json()["cameras"][0]["records"][c.record][c.field].asString(), c.value);
        if (c.readSub != 0) {
            EXPECT_EQ(model.snapshot().records[c.readSub].at(c.offset), c.stored);
        }
    }
}

TEST_F(CameraCommands, SetRefusesValuesTheModelDoesNotHave) {
    camsim::CameraModel& model = drives.add('E', camera(33, "SER-E"));
    for (const char* assignment : {"videoResolution=3840*2160", "cardCapacityGB=64", "nosuch=1"}) {
        SCOPED_TRACE(assignment);
        EXPECT_EQ(dalvex({"set", "setting", assignment}).code, 1);
    }
    EXPECT_EQ(dalvex({"set", "user", "deviceId=123456789012"}).code, 1);  // 12 of 11
    EXPECT_EQ(dalvex({"set", "nosuch", "a=b"}).code, 2);
    EXPECT_EQ(dalvex({"set", "rk20", "volume=High"}).code, 1);  // not an RK20
    EXPECT_FALSE(receivedWrite(model));
}

TEST_F(CameraCommands, ApplyDryRunWritesNothingAndASecondApplyChangesNothing) {
    camsim::CameraModel& model = drives.add('E', camera(33, "SER-E"));
    // The whole output of get is a profile.
    Json::Value output = dalvex({"--json", "get", "all"}).json();
    Json::Value& profile = output["cameras"][0];
    profile["records"]["user"]["userName"] = "J. Smith";
    profile["records"]["setting"]["videoLength"] = "15 Minutes";
    profile["records"]["wifi"] = Json::Value(Json::objectValue);
    profile["records"]["wifi"]["ssid"] = "depot";
    const std::string path = state_ + "/profile.json";
    std::ofstream(path) << output;
    model.clearReceived();

    const clitest::Result dry = dalvex({"apply", path, "--dry-run"});
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_NE(dry.out.find("user.userName: Officer -> J. Smith"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("wifi.ssid:  -> depot"), std::string::npos) << dry.out;
    EXPECT_FALSE(receivedWrite(model));
    EXPECT_FALSE(std::filesystem::exists(auditPath()));

    const clitest::Result first = dalvex({"--json", "apply", path});
    EXPECT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(first.json()["cameras"][0]["status"].asString(), "ok");
    EXPECT_EQ(dalvex({"--json", "get", "user"}).json()["cameras"][0]["records"]["user"]["userName"],
              "J. Smith");
    const std::string audit = auditText();
    // Three records, each an attempt line before its write and an outcome line after it.
    EXPECT_EQ(std::count(audit.begin(), audit.end(), '\n'), 6) << audit;

    model.clearReceived();
    const clitest::Result second = dalvex({"--json", "apply", path});
    EXPECT_EQ(second.code, 0);
    EXPECT_EQ(second.json()["cameras"][0]["status"].asString(), "unchanged");
    EXPECT_FALSE(receivedWrite(model));
    EXPECT_EQ(auditText(), audit);
}

TEST_F(CameraCommands, ARefusedWriteFailsItsCameraAndIsAuditedAsFailed) {
    drives.add('E', camera(33, "SER-E"));
    drives.add('F', camera(33, "SER-F"))
        .setHandler(0xF20E, [](camsim::CameraState&, const camsim::Command&) {
            return camsim::Reply{camsim::kStatusCheckCondition, {}, 0};
        });
    const clitest::Result r = dalvex({"--json", "set", "gprs", "apn=fleet", "--all"});
    EXPECT_EQ(r.code, 1);
    const Json::Value cameras = r.json()["cameras"];
    EXPECT_EQ(cameras[0]["status"].asString(), "ok");
    EXPECT_EQ(cameras[1]["status"].asString(), "failed");
    EXPECT_NE(r.err.find("F: SER-F: the camera did not keep gprs.apn"), std::string::npos) << r.err;

    std::istringstream lines(auditText());
    std::vector<Json::Value> entries;
    for (std::string line; std::getline(lines, line);) {
        Json::Value v;
        std::istringstream(line) >> v;
        entries.push_back(v);
    }
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[2]["serial"].asString(), "SER-F");
    EXPECT_EQ(entries[2]["outcome"].asString(), "attempt");
    EXPECT_EQ(entries[3]["outcome"].asString(), "failed");
    EXPECT_EQ(entries[3]["fields"][0]["new"].asString(), "fleet");
    for (const char* key : {"time", "operator", "host", "letter", "record"})
        EXPECT_TRUE(entries[3].isMember(key)) << key;
}

TEST_F(CameraCommands, AWrongPasswordFailsBeforeAnyWrite) {
    camsim::CameraModel& e = drives.add('E', camera(33, "SER-E"));
    camsim::CameraState other = camera(33, "SER-F");
    other.loginPassword = "135790";
    camsim::CameraModel& f = drives.add('F', other);
    // Seven characters whose first six are right are still a wrong password.
    EXPECT_EQ(
        dalvex({"set", "user", "userName=X", "--letter", "E"}, std::string(kPassword) + "9").code,
        4);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"set", "user", "userName=X", "--all"},
          {"--json", "time", "sync", "--all"},
          {"format", "--yes", "--all"}}) {
        const clitest::Result r = dalvex(args);
        EXPECT_EQ(r.code, 4) << args[0];
        if (args[0] == "--json") {
            EXPECT_EQ(r.json()["exit_code"].asInt(), 4);
        }
    }
    EXPECT_FALSE(receivedWrite(e));
    EXPECT_FALSE(receivedWrite(f));
    EXPECT_FALSE(std::filesystem::exists(auditPath()));
}

// A camera that drops during the login check has not refused the password: it failed.
TEST_F(CameraCommands, ACameraLostDuringTheLoginCheckIsAFailureNotAWrongPassword) {
    drives.add('E', camera(33, "SER-E"))
        .setHandler(0xF203, [](camsim::CameraState&, const camsim::Command&) {
            return camsim::Reply{camsim::kStatusCheckCondition, {}, 3000};
        });
    const clitest::Result r = dalvex({"set", "user", "userName=X"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("SER-E: the camera stopped answering"), std::string::npos) << r.err;
}

// A profile that is not one whole JSON object, or an audit log that cannot be opened, stops the
// run before the first write.
TEST_F(CameraCommands, AnUnusableProfileOrAuditLogStopsBeforeAnyWrite) {
    camsim::CameraModel& model = drives.add('E', camera(33, "SER-E"));
    const std::string good = R"({"user":{"userName":"Trail"}})";
    const struct {
        std::string profile;
        std::string audit;  // --audit, when given
        int code;
    } cases[] = {
        {good + "\n" + good, "", 2},
        {R"({"user":{"userName":"A"},"user":{"userName":"B"}})", "", 2},
        {std::string(100000, '['), "", 2},  // deeper than the reader allows
        {R"({"records":5})", "", 2},        // of the wrong shape
        {R"({"cameras":[5]})", "", 2},
        {R"({"cameras":[{"records":[1]}]})", "", 2},
        {"{\"user\":{\"userName\":\"" + std::string(2 << 20, 'x') + "\"}}", "", 2},  // too big
        {good, state_, 1},                                                           // a folder
        {good, "/proc/self/no/audit.log", 1},
    };
    const std::string path = state_ + "/profile.json";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile.substr(0, 60) + " " + c.audit);
        std::ofstream(path, std::ios::trunc) << c.profile;
        std::vector<std::string> args = {"apply", path};
        if (!c.audit.empty())
            args.insert(args.end(), {"--audit", c.audit});
        const clitest::Result r = dalvex(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find("dalvex: "), std::string::npos);
        EXPECT_FALSE(receivedWrite(model));
        args.insert(args.begin(), "--json");
        const clitest::Result json = dalvex(args);
        EXPECT_EQ(json.json()["exit_code"].asInt(), c.code) << json.out;
        EXPECT_EQ(json.json()["errors"].size(), 1u) << json.out;
    }
    EXPECT_EQ(dalvex({"time", "sync", "--audit", state_}).code, 1);
    EXPECT_FALSE(receivedWrite(model));
}

TEST_F(CameraCommands, WithoutACameraTheExitCodeIsThreeAndJsonStaysValid) {
    drives.addEmpty('E');
    const clitest::Result usage = dalvex({"--json", "get"});  // no record named
    EXPECT_EQ(usage.code, 2);
    EXPECT_EQ(usage.json()["exit_code"].asInt(), 2) << usage.out;
    for (const char* command : {"list", "get"}) {
        const clitest::Result r = command == std::string("list") ? dalvex({"--json", "list"})
                                                                 : dalvex({"--json", "get", "all"});
        EXPECT_EQ(r.code, 3) << command;
        EXPECT_TRUE(r.json()["cameras"].isArray()) << r.out;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(CameraCommands, PasswordsFromADescriptorStayOutOfArgumentsAndTheAuditLog) {
    drives.add('E', camera(33, "SER-E"));
    const std::string newPassword = "975311";
    const std::vector<std::string> args = {"password", "change", "login", "--password-fd", "3"};
    const clitest::Result r =
        run(args, {{"XDG_STATE_HOME", state_}}, std::string(kPassword) + "\n" + newPassword + "\n");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(drives.model('E').snapshot().loginPassword, newPassword);
    for (const std::string& a : args)
        EXPECT_EQ(a.find(kPassword), std::string::npos);
    const std::string audit = auditText();
    EXPECT_NE(audit.find("\"record\":\"password\""), std::string::npos) << audit;
    EXPECT_EQ(audit.find(kPassword), std::string::npos);
    EXPECT_EQ(audit.find(newPassword), std::string::npos);
}

// The actions in turn on one camera: each changes the camera and leaves its attempt and outcome
// lines.
TEST_F(CameraCommands, ActionsReachTheCameraAndAreAudited) {
    camsim::CameraModel& model = drives.add('E', camera(33, "SER-E"));
    const struct {
        std::vector<std::string> args;
        const char* record;
        std::function<bool(const camsim::CameraState&)> done;
    } cases[] = {
        {{"time", "sync"}, "time", [](const auto& s) { return s.clockSet; }},
        {{"storage", "expose"}, "storage", [](const auto& s) { return s.massStorage; }},
        {{"storage", "release"}, "storage", [](const auto& s) { return !s.massStorage; }},
        {{"reboot"}, "reboot", [](const auto&) { return true; }},
        {{"format", "--yes"}, "format", [](const auto& s) { return s.formats == 1; }},
    };
    size_t lines = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const clitest::Result r = dalvex(c.args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(c.done(model.snapshot()));
        const std::string audit = auditText();
        lines += 2;
        EXPECT_EQ(size_t(std::count(audit.begin(), audit.end(), '\n')), lines);
        EXPECT_NE(audit.find("\"outcome\":\"attempt\",\"record\":\"" + std::string(c.record)),
                  std::string::npos)
            << audit;
        const std::string last = audit.substr(audit.rfind('\n', audit.size() - 2) + 1);
        EXPECT_NE(last.find("\"record\":\"" + std::string(c.record) + "\""), std::string::npos)
            << last;
        EXPECT_NE(last.find("\"outcome\":\"ok\""), std::string::npos) << last;
    }
}

TEST_F(CameraCommands, FormatNeedsConfirmationAndPollsToTheEnd) {
    camsim::CameraState s = camera(33, "SER-E");
    s.formatPolls = 2;
    camsim::CameraModel& model = drives.add('E', s);
    EXPECT_EQ(dalvex({"format"}).code, 2);  // no terminal, no --yes
    EXPECT_EQ(model.snapshot().formats, 0);
    const clitest::Result r = dalvex({"format", "--yes"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(model.snapshot().formats, 1);
    EXPECT_NE(r.out.find("E: formatting (2 s)"), std::string::npos) << r.out;
}

}  // namespace

// Values of the wrong JSON type or form are refused, in profiles and on the command line.
TEST_F(CameraCommands, ValuesTakeOnlyTheTypeAndFormTheirFieldAllows) {
    camsim::CameraModel& model = drives.add('E', camera(33, "SER-E"));
    const char* refused[] = {
        R"({"user":{"userName":["a","b"]}})",
        R"({"user":{"userName":5}})",
        R"({"mobile-link":{"serverPort":true}})",
        R"({"mobile-link":{"serverPort":" 80"}})",
        R"({"mobile-link":{"serverPort":"+80"}})",
        R"({"mobile-link":{"serverPort":80.5}})",
        R"({"wifi":{"mode":true}})",
    };
    const std::string path = state_ + "/profile.json";
    for (const char* profile : refused) {
        SCOPED_TRACE(profile);
        std::ofstream(path, std::ios::trunc) << profile;
        EXPECT_EQ(dalvex({"apply", path}).code, 1);
        EXPECT_FALSE(receivedWrite(model));
    }
    EXPECT_EQ(dalvex({"set", "mobile-link", "serverPort=+80"}).code, 1);
    std::ofstream(path, std::ios::trunc) << R"({"mobile-link":{"serverPort":80}})";
    EXPECT_EQ(dalvex({"apply", path}).code, 0);
    EXPECT_EQ(dalvex({"set", "mobile-link", "serverPort=81"}).code, 0);
}

// The audit line is written before the command goes out: no line, no command; a line cut short
// by a full disk is taken back and the real error reported.
TEST_F(CameraCommands, NoAuditLineNoCommandAndNoTornLine) {
    camsim::CameraModel& model = drives.add('E', camera(33, "SER-E"));
    std::filesystem::create_directories(state_ + "/dalvex");
    const std::string before(900, 'x');
    std::ofstream(auditPath()) << before << "\n";
    // A file size limit of 1024 bytes leaves room for part of a line only.
    const clitest::Result r =
        run({"/bin/sh", "-c", "ulimit -f 2; exec \"$0\" \"$@\"", DALVEX_CLI_PATH, "time", "sync"},
            {{"DALVEX_PASSWORD", kPassword}, {"XDG_STATE_HOME", state_}}, "", "/bin/sh");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    EXPECT_EQ(auditText(), before + "\n");
    EXPECT_FALSE(model.snapshot().clockSet);
}

// Texts from the camera reach the terminal with their control characters escaped.
TEST_F(CameraCommands, TerminalEscapesFromTheCameraArePrintedEscaped) {
    camsim::CameraState s = camera(33, "SER\x1b]0;owned\x07\x1b[2J\u202e");
    drives.add('E', s);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list"},
                                                 {"get", "user"},
                                                 {"set", "user", "userName=A\x1b[2JB"}}) {
        const clitest::Result r = dalvex(args);
        EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << args[0];
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << args[0];
        EXPECT_EQ((r.out + r.err).find("\u202e"), std::string::npos) << args[0];
        EXPECT_NE((r.out + r.err).find("SER\\u001b]0;owned\\u0007"), std::string::npos)
            << r.out << r.err;
    }
}

// Network passwords: never taken as plain arguments, shown masked unless asked, and a profile of
// get's masked output leaves them as they are.
TEST_F(CameraCommands, SecretFieldsStayOffTheCommandLineAndOutOfOutputs) {
    drives.add('E', camera(33, "SER-E"));
    const std::string file = state_ + "/wifi-password";
    std::ofstream(file) << "from-a-file\n";
    const struct {
        std::vector<std::string> args;
        std::string fd3;
        int code;
        const char* stored;  // what the camera holds afterwards
    } cases[] = {
        {{"set", "wifi", "password=plain"}, "", 2, ""},
        {{"set", "wifi", "password=@" + file}, "", 0, "from-a-file"},
        {{"set", "wifi", "password=-", "--secret-fd", "3"}, "from-fd\n", 0, "from-fd"},
        {{"set", "wifi", "password=-"}, "", 2, "from-fd"},  // no descriptor, no terminal
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::pair<std::string, std::string>> env = {{"DALVEX_PASSWORD", kPassword},
                                                                {"XDG_STATE_HOME", state_}};
        EXPECT_EQ(run(c.args, env, c.fd3).code, c.code);
        const clitest::Result shown = dalvex({"--json", "get", "wifi", "--show-secrets"});
        EXPECT_EQ(shown.json()["cameras"][0]["records"]["wifi"]["password"].asString(), c.stored);
    }
    const clitest::Result masked = dalvex({"--json", "get", "all"});
    EXPECT_EQ(masked.out.find("from-fd"), std::string::npos) << masked.out;
    EXPECT_EQ(dalvex({"get", "wifi"}).out.find("from-fd"), std::string::npos);
    EXPECT_EQ(auditText().find("from-"), std::string::npos);
    // get's masked output applied again changes nothing, and the secret stays.
    const std::string path = state_ + "/profile.json";
    std::ofstream(path) << masked.out;
    const clitest::Result again = dalvex({"--json", "apply", path});
    EXPECT_EQ(again.json()["cameras"][0]["status"].asString(), "unchanged") << again.out;
    EXPECT_EQ(dalvex({"--json", "get", "wifi", "--show-secrets"})
                  .json()["cameras"][0]["records"]["wifi"]["password"]
                  .asString(),
              "from-fd");
}
