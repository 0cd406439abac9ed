// batch --project: the sounds of a project file (the Studio's library export),
// each the module's sound of its own parameters, seed and buffer length, in a
// file named after it; bad files are refused with the reason.
#include "cli_test_util.h"
#include "design/layered_sound.h"

namespace quavix::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

SynthParams PresetOf(std::int32_t family, std::uint32_t seed) {
  SynthParams p = DefaultParams();
  RandomSource random;
  SeedRandom(random, seed);
  LoadPreset(p, family, random);
  return p;
}

Json Sound(const std::string& name, std::uint32_t seed, const SynthParams& p, int seconds) {
  return {{"name", name}, {"tags", {"t"}}, {"seed", seed}, {"sfs", Hex(p)}, {"buffer_length", seconds}};
}

Json Project(Json sounds) {
  return {{"format", "quavix-project"}, {"version", 1}, {"sounds", std::move(sounds)}};
}

// File names follow the names (unsafe runs become one '-', none at the ends, a name taken in
// another letter case gets -2); each file is the module's sound, and its manifest command makes it again.
TEST(Project, EverySoundIsRenderedIntoAFileNamedAfterIt) {
  const SynthParams jump = PresetOf(kPresetJump, 11);
  const SynthParams boom = PresetOf(kPresetExplosion, 12);
  SynthParams longJump = jump;
  longJump.SustainTime = 1;  // 100000 samples of sustain, cut by a buffer of 1 s
  struct Case {
    const char* name;
    std::uint32_t seed;
    SynthParams params;
    int seconds;
    const char* file;
    const char* command;  // how it starts: a settings string only when it reads the parameters back exactly
  } const cases[] = {
      {"Jump / big!", 7, jump, 5, "Jump-big.wav", "printf '\\146"},
      {"jump-big", 4294967295u, longJump, 1, "jump-big-2.wav", "printf"},  // the largest seed, the shortest buffer
      {"  ..", 1, boom, 60, "sound.wav", "printf"},                     // the smallest seed, the longest buffer
      {"\xc3\x9c" "n" "\xc3\xaf" "code \xc3\xa9", 2, boom, 2, "n-code.wav", "printf"},
      {"JUMP-big", 8, boom, 1, "JUMP-big-3.wav", "printf"},    // a third twin in letter case
      {"Jump-bigs", 9, jump, 1, "Jump-bigs.wav", "printf"},    // more than letter case differs
      // The defaults' four decimals (0.3000...) read back as the same floats.
      {"Plain", 3, DefaultParams(), 5, "Plain.wav", "quavix render --seed 3 --csv 1.0000,,,0.3000,"},
  };
  ScratchDir dir;
  Json sounds = Json::array();
  for (const Case& c : cases) sounds.push_back(Sound(c.name, c.seed, c.params, c.seconds));
  std::ofstream(dir / "p.json") << Project(sounds).dump();
  fs::create_directory(dir / "again");
  const auto r = Shell("cd " + dir.Path + " && $Q batch --project p.json --out-dir o --jobs 2");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(Has(r.Err, "wrote 7 sounds (Jump-big.wav .. Plain.wav)")) << r.Err;
  const auto manifest = Json::parse(ReadText(dir / "o/manifest.json"));
  EXPECT_TRUE(manifest["project"] == "../p.json" && manifest["count"] == 7 && manifest["sounds"].size() == 7);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.file);
    const auto expected =
        LibrarySound(std::int32_t(c.seed), [&](SynthParams& p, RandomSource&) { p = c.params; }, c.seconds);
    EXPECT_EQ(ReadText(dir / "o/" + c.file), ModuleImage(expected));
    const auto& s = manifest["sounds"][i];
    EXPECT_TRUE(s["file"] == c.file && s["name"] == c.name && s["seed"] == c.seed &&
                s["buffer_length"] == c.seconds && s["sfs"] == Hex(c.params) && s["samples"] == expected.size())
        << s;
    const std::string command = s["command"];
    EXPECT_TRUE(command.starts_with(c.command)) << command;
    ASSERT_EQ(RunCommandIn(dir / "again", command).Status, 0) << command;
    EXPECT_EQ(ReadText(dir / "again/" + c.file), ReadText(dir / "o/" + c.file)) << command;
  }
}

// A name Windows keeps for a device (before the first dot, in any letter case) gets "_" after
// it; Windows' forbidden characters, DEL and trailing dots and spaces go as every unsafe run does.
TEST(Project, FileNamesAreValidOnEverySystem) {
  struct Case {
    std::string name, file;
  } const cases[] = {
      {"CON", "CON_.wav"},
      {"con.wav", "con_.wav.wav"},
      {"Nul.txt", "Nul_.txt.wav"},
      {"prn", "prn_.wav"},
      {"aux .", "aux_.wav"},
      {"Lpt1\x7f", "Lpt1_.wav"},
      {"Com1", "Com1_.wav"},
      {"lpt9.a.b", "lpt9_.a.b.wav"},
      {"con", "con_-2.wav"},
      {"COM0", "COM0.wav"},
      {"LPT10", "LPT10.wav"},
      {"cons", "cons.wav"},
      {"lpt", "lpt.wav"},
      {"a.con", "a.con.wav"},
      {"x-COM1", "x-COM1.wav"},
      {"end. ", "end.wav"},
      {"a<b>c:d\"e/f\\g|h?i*j", "a-b-c-d-e-f-g-h-i-j.wav"},
      // Cut to 64 bytes, "_" added, cut to 64 again.
      {"CON." + std::string(66, 'c'), "CON_." + std::string(59, 'c') + ".wav"},
  };
  ScratchDir dir;
  Json sounds = Json::array();
  for (const Case& c : cases) sounds.push_back(Sound(c.name, 5, DefaultParams(), 1));
  std::ofstream(dir / "p.json") << Project(sounds).dump();
  const auto r = RunTool("batch --project " + dir / "p.json" + " --out-dir " + dir / "o");
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto manifest = Json::parse(ReadText(dir / "o/manifest.json"));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(manifest["sounds"][i]["file"], cases[i].file) << cases[i].name;
    EXPECT_TRUE(fs::exists(dir / ("o/" + cases[i].file))) << cases[i].file;
  }
}

// A file that is not a project, or a sound that cannot be made, stops the batch before the folder
// is made, with one line that names the file, the sound and the reason.
TEST(Project, BadFilesAreRefusedWithTheReason) {
  const SynthParams jump = PresetOf(kPresetJump, 11);
  const Json good = Sound("ok", 5, jump, 5);
  const auto with = [&](const char* key, Json value) {
    Json s = Sound("a", 5, jump, 5);
    s[key] = std::move(value);
    return Project({good, s}).dump();
  };
  // 100,000 sounds (about 30 MB, far beyond 64 KiB), the last one wrong: the whole file is read.
  std::string many = R"({"format": "quavix-project", "version": 1, "sounds": [)";
  for (int i = 0; i < 99999; ++i) many += good.dump() + ",";
  many += Sound("last", 0, jump, 5).dump() + "]}";
  std::string v103 = Hex(jump);
  v103.replace(0, 2, "67");  // version 103
  const auto layer = [&](Json offset, Json gain) {
    return Json{{"seed", 5}, {"sfs", Hex(jump)}, {"buffer_length", 5}, {"offset", offset}, {"gain_db", gain}};
  };
  const auto layered = [&](Json layers) {
    Json p = Project({good, {{"name", "a"}, {"layers", std::move(layers)}}});
    p["version"] = 2;
    return p.dump();
  };
  struct Case {
    const char* name;
    std::string text;
    const char* message;
  } const cases[] = {
      // Where the text stops being JSON: its line and column (in characters).
      {"cut short", "{\"format\": ",
       "is not JSON, so it is not a project file: it ends too early, at line 1, column 12"},
      {"a comma too many", "{\"format\":\n  \"x\", }",
       "is not JSON, so it is not a project file: line 2, column 8: unexpected '}'"},
      {"a word", "{\"\xc3\xa9\": tru}", "line 1, column 10: unexpected '}'"},
      {"not UTF-8", "{\"a\": \"\xff\"}", "line 1, column 8: '\\xff' is not UTF-8 text"},
      {"after the end", "{}\n\n x", "line 3, column 2: unexpected 'x'"},
      {"only spaces", " \n", "is not JSON, so it is not a project file: it holds nothing"},
      {"another format", R"({"format": "other", "version": 1, "sounds": []})", "has no \"format\": \"quavix-project\""},
      {"a list", "[]", "is not a project file"},
      {"version 3", R"({"format": "quavix-project", "version": 3})", "of version 3; this tool reads versions 1 to 2"},
      {"version 0", R"({"format": "quavix-project", "version": 0})", "of version 0; this tool reads versions 1 to 2"},
      {"version as text", R"({"format": "quavix-project", "version": "1"})", "of version '\"1\"'"},
      {"no version", R"({"format": "quavix-project", "sounds": []})", "of no version"},
      {"no sounds", R"({"format": "quavix-project", "version": 1})", "has no list of sounds"},
      {"empty sounds", Project(Json::array()).dump(), "holds no sounds"},
      {"seed 0", with("seed", 0), "sound 2 ('a'): its seed is not a whole number from 1 to 4294967295"},
      {"seed 4294967296", with("seed", 4294967296u), "sound 2 ('a'): its seed"},
      {"seed -1", with("seed", -1), "sound 2 ('a'): its seed"},
      {"seed 1.5", with("seed", 1.5), "sound 2 ('a'): its seed"},
      {"seed 0.0", with("seed", 0.0), "sound 2 ('a'): its seed"},
      {"seed 4294967296.0", with("seed", 4294967296.0), "sound 2 ('a'): its seed"},
      {"buffer 60.5", with("buffer_length", 60.5), "its buffer length"},
      {"buffer 61.0", with("buffer_length", 61.0), "its buffer length"},
      {"version 1.5", R"({"format": "quavix-project", "version": 1.5})", "of version '1.5'"},
      {"buffer 0", with("buffer_length", 0), "its buffer length is not a whole number of seconds from 1 to 60"},
      {"buffer 61", with("buffer_length", 61), "its buffer length"},
      {"sfs one byte short", with("sfs", Hex(jump).substr(2)), "\"sfs\" must be its 105 bytes in hexadecimal"},
      {"sfs not hex", with("sfs", "zz" + Hex(jump).substr(2)), "\"sfs\" must be its 105 bytes"},
      {"sfs of version 103", with("sfs", v103), "its parameters are not a settings file of a known version"},
      {"no name", with("name", ""), "sound 2: it has no name"},
      {"tags not a list", with("tags", "t"), "its tags are not a list of words"},
      {"a tag a number", with("tags", {1}), "its tags are not a list of words"},
      {"a sound a number", Project({good, 3}).dump(), "sound 2: it is not an object"},
      {"100000 sounds", many, "sound 100000 ('last'): its seed"},
      // Layered sounds, from version 2 on: the layer and its field named.
      {"layers in version 1", with("layers", {layer(0, 0)}), "sound 2 ('a'): it has layers, which a project file has from version 2 on"},
      {"no layers", layered(Json::array()), "sound 2 ('a'): a layered sound has 1 to 8 layers, not 0"},
      {"nine layers", layered(Json(std::vector<Json>(9, layer(0, 0)))), "a layered sound has 1 to 8 layers, not 9"},
      {"twenty layers", layered(Json(std::vector<Json>(20, layer(0, 0)))), "a layered sound has 1 to 8 layers, not 20"},
      {"layers not a list", layered(layer(0, 0)), "sound 2 ('a'): its layers are not a list"},
      {"a layer's seed", layered({layer(0, 0), {{"seed", 0}}}), "sound 2 ('a'): layer 2: its seed is not a whole number"},
      {"offset 60 s and one", layered({layer(2646001, 0)}), "layer 1: the start is 0 to 2646000 samples (60 s), not 2646001"},
      {"offset -1", layered({layer(-1, 0)}), "layer 1: its offset is not a whole number of samples from 0 to 2646000"},
      {"offset 0.5", layered({layer(0.5, 0)}), "layer 1: its offset is not a whole number of samples"},
      {"+12.1 dB", layered({layer(0, 0), layer(0, 12.1)}), "layer 2: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB"},
      {"-60.1 dB", layered({layer(0, -60.1)}), "layer 1: the gain is -60.0 to +12.0 dB in steps of 0.1, not -60.1 dB"},
      {"0.05 dB", layered({layer(0, 0.05)}), "layer 1: its gain_db is not a number of decibels in steps of 0.1"},
      {"gain as text", layered({layer(0, "3")}), "layer 1: its gain_db is not a number"},
      {"muted as 1", layered({[&] { Json l = layer(0, 0); l["muted"] = 1; return l; }()}), "layer 1: its muted is not true or false"},
      // 640 MiB and one byte: a sparse file, refused by its size.
      {"over the limit", "", "is larger than 640 MiB, the most a project file may be"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::ofstream(dir / "p.json") << c.text;
    if (c.text.empty()) fs::resize_file(dir / "p.json", (std::uintmax_t{640} << 20) + 1);
    const auto r = RunTool("batch --project " + dir / "p.json" + " --out-dir " + dir / "o");
    EXPECT_TRUE(r.Status == 1 && LineCount(r.Err) == 1 && Has(r.Err, "quavix: error: '" + dir / "p.json'") &&
                Has(r.Err, c.message))
        << r.Status << r.Err;
    EXPECT_FALSE(fs::exists(dir / "o"));
  }
}

// A whole number may be written in any JSON form (7.0, 2e0, 0.1e1): the same sound as 7, 2 and 1.
TEST(Project, WholeNumbersInAnyFormReadAsThemselves) {
  const SynthParams jump = PresetOf(kPresetJump, 11);
  ScratchDir dir;
  std::string plain = Project({Sound("a", 7, jump, 2), Sound("b", 4294967295u, jump, 60)}).dump();
  std::string forms = R"({"format": "quavix-project", "version": 0.1e1, "sounds": [)"
                      R"({"name": "a", "seed": 7.0, "sfs": ")" + Hex(jump) + R"(", "buffer_length": 2e0},)"
                      R"({"name": "b", "seed": 4294967295.0, "sfs": ")" + Hex(jump) + R"(", "buffer_length": 6e1}]})";
  std::ofstream(dir / "plain.json") << plain;
  std::ofstream(dir / "forms.json") << forms;
  for (const char* name : {"plain", "forms"}) {
    const auto r = RunTool("batch --project " + dir / (std::string(name) + ".json") + " --out-dir " + dir / name);
    ASSERT_EQ(r.Status, 0) << name << r.Err;
  }
  for (const char* file : {"a.wav", "b.wav"}) {
    SCOPED_TRACE(file);
    const std::string plainFile = ReadText(dir / (std::string("plain/") + file));
    EXPECT_EQ(plainFile, ReadText(dir / (std::string("forms/") + file)));
    EXPECT_GT(plainFile.size(), 44u);
  }
}

// render --layers: the mix recomputed from the tool's own render of each layer (its sfs, seed and
// buffer length); a muted layer adds nothing and no length; one layer with export options is that
// recipe's export; a plain sound is itself.
TEST(Project, RenderLayersMixesTheToolsRendersOfEachLayer) {
  struct L { std::int32_t family; std::uint32_t seed; int seconds; std::int32_t offset; double db; bool muted; };
  const L layers[] = {{kPresetCoin, 5, 5, 0, 0, false},      {kPresetLaser, 9, 5, 4410, -6.5, false},
                      {kPresetExplosion, 3, 1, 100, 12, false}, {kPresetHurt, 4, 60, 2646000, 0, true},
                      {kPresetBlip, 2, 5, 900, -60, false}};
  ScratchDir dir;
  Json list = Json::array();
  std::vector<double> sum;
  std::vector<std::size_t> lengths;
  for (std::size_t i = 0; i < std::size(layers); ++i) {
    const L& l = layers[i];
    const SynthParams p = PresetOf(l.family, 100 + l.seed);
    list.push_back({{"seed", l.seed}, {"sfs", Hex(p)}, {"buffer_length", l.seconds}, {"offset", l.offset},
                    {"gain_db", l.db}, {"muted", l.muted}});
    const std::string sfs = dir / ("l" + std::to_string(i) + ".sfs"), wav = dir / ("l" + std::to_string(i) + ".wav");
    const auto bytes = EncodeSettings(p);
    std::ofstream(sfs, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    ASSERT_EQ(RunTool("render --sfs " + sfs + " --seed " + std::to_string(l.seed) + " --buffer-length " +
                      std::to_string(l.seconds) + " -o " + wav).Status, 0);
    lengths.push_back(0);
    if (l.muted) continue;
    const std::vector<std::int16_t> x = ReadSound(wav).Samples;
    lengths.back() = x.size();
    sum.resize(std::max(sum.size(), l.offset + x.size()));
    const double gain = LayerGain(static_cast<std::int32_t>(std::lround(l.db * 10)));
    for (std::size_t n = 0; n < x.size(); ++n) sum[l.offset + n] += gain * x[n];
  }
  std::vector<std::int16_t> expected;
  long clipped = 0;
  for (const double m : sum) {
    const double r = std::round(m);
    clipped += r > 32767 || r < -32768;
    expected.push_back(static_cast<std::int16_t>(std::clamp(r, -32768.0, 32767.0)));
  }
  ASSERT_GT(clipped, 0);  // the explosion at +12 dB clips
  Json project = Project({Sound("plain", 7, PresetOf(kPresetJump, 1), 5), {{"name", "mix"}, {"layers", list}}});
  project["version"] = 2;
  std::ofstream(dir / "p.json") << project.dump();
  const auto r = RunTool("render --layers " + dir / "p.json" + " --sound mix -o " + dir / "mix.wav");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "quavix: warning: " + std::to_string(clipped) + " samples are clipped in the mix at -32768 or 32767\n");
  EXPECT_EQ(ReadText(dir / "mix.wav"), ModuleImage(expected));
  // info --layers: each layer's length, and the mix's length, peak and clipping.
  const auto info = RunTool("info --layers " + dir / "p.json" + " --sound mix --json");
  ASSERT_EQ(info.Status, 0) << info.Err;
  const Json shown = Json::parse(info.Out);
  EXPECT_TRUE(shown["samples"] == expected.size() && shown["clipped"] == clipped && shown["peak"] == Peak(expected))
      << shown;
  for (std::size_t i = 0; i < std::size(layers); ++i) {
    EXPECT_TRUE(shown["layers"][i]["samples"] == lengths[i] && shown["layers"][i]["gain_db"] == layers[i].db &&
                shown["layers"][i]["offset"] == layers[i].offset && shown["layers"][i]["muted"] == layers[i].muted)
        << shown["layers"][i];
  }
  const auto text = RunTool("info --layers " + dir / "p.json" + " --sound mix");
  EXPECT_TRUE(Has(text.Out, "layered sound 'mix': 5 layers\n") &&
              Has(text.Out, "mix: " + std::to_string(expected.size()) + " samples") &&
              Has(text.Out, "text: " + shown["text"].get<std::string>() + "\n")) << text.Out;
  // The layered sound's text, from a file or standard input, is the same sound.
  std::ofstream(dir / "mix.txt") << "\n  " << shown["text"].get<std::string>() << "\n";
  ASSERT_EQ(RunTool("render --layers " + dir / "mix.txt" + " -o " + dir / "from-text.wav").Status, 0);
  EXPECT_EQ(ReadText(dir / "from-text.wav"), ModuleImage(expected));
  std::ofstream(dir / "bad.txt") << std::regex_replace(shown["text"].get<std::string>(), std::regex(",2646000,"), ",2646001,");

  // One layer at 0 dB with export options: the same file as that recipe's export.
  Json one = Project({{{"name", "one"}, {"layers", {list[1]}}}});
  one["version"] = 2;
  one["sounds"][0]["layers"][0]["gain_db"] = 0, one["sounds"][0]["layers"][0]["offset"] = 0;
  std::ofstream(dir / "one.json") << one.dump();
  const std::string exportOptions = " --format flac --bits 24 --rate 48000 --trim --normalize lufs:-16";
  ASSERT_EQ(RunTool("render --layers " + dir / "one.json" + exportOptions + " -o " + dir / "one.flac").Status, 0);
  ASSERT_EQ(RunTool("render --sfs " + dir / "l1.sfs" + " --seed 9" + exportOptions + " -o " + dir / "l1.flac").Status, 0);
  EXPECT_EQ(ReadText(dir / "one.flac"), ReadText(dir / "l1.flac"));
  // In a batch, each manifest command keeps the export options: a plain sound's and a layered one's.
  one["sounds"].push_back(Sound("plain", 7, PresetOf(kPresetJump, 1), 5));
  std::ofstream(dir / "two.json") << one.dump();
  ASSERT_EQ(RunTool("batch --project " + dir / "two.json" + exportOptions + " --out-dir " + dir / "e").Status, 0);
  const Json exported = Json::parse(ReadText(dir / "e/manifest.json"));
  ASSERT_EQ(exported["sounds"].size(), 2u);
  for (const Json& entry : exported["sounds"]) {
    const std::string file = dir / ("e/" + entry["file"].get<std::string>()), made = ReadText(file);
    ASSERT_TRUE(fs::remove(file) && RunCommandIn(dir / "e", entry["command"]).Status == 0) << entry;
    EXPECT_TRUE(ReadText(file) == made) << entry["command"];
  }
  // A plain sound of the project is its own recipe.
  ASSERT_EQ(RunTool("render --layers " + dir / "p.json" + " --sound plain -o " + dir / "plain.wav").Status, 0);
  EXPECT_EQ(ReadText(dir / "plain.wav"),
            ModuleImage(LibrarySound(7, [](SynthParams& p, RandomSource&) { p = PresetOf(kPresetJump, 1); })));

  struct Refusal { std::string args; int status; const char* message; } const refusals[] = {
      {"--layers " + dir / "p.json" + " -o " + dir / "x.wav", 2, "holds 2 sounds; --sound NAME says which one"},
      {"--layers " + dir / "p.json" + " --sound Mix -o " + dir / "x.wav", 1, "holds no sound named 'Mix'"},
      {"--layers " + dir / "p.json" + " --sound mix --seed 3 -o " + dir / "x.wav", 2, "--seed and --layers cannot go together"},
      {"--layers " + dir / "p.json" + " --sound mix --preset coin -o " + dir / "x.wav", 2, "--preset and --layers"},
      {"--layers " + dir / "p.json" + " --sound mix --buffer-length 5 -o " + dir / "x.wav", 2, "--buffer-length and --layers"},
      {"--layers " + dir / "p.json" + " --sound mix --save-sfs " + dir / "x.sfs -o " + dir / "x.wav", 2, "which no settings file"},
      {"--layers " + dir / "p.json" + " --sound mix", 2, "--layers needs -o OUT"},
      {"--sound mix -o " + dir / "x.wav", 2, "--sound names a sound of --layers"},
      {"--layers " + dir / "p.json" + " --sound mix -o " + dir / "p.json", 2, "is the same file as --layers"},
      {"--layers " + dir / "mix.txt" + " --sound mix -o " + dir / "x.wav", 2, "holds a layered sound's text, which names no sounds"},
      {"--layers " + dir / "bad.txt" + " -o " + dir / "x.wav", 1,
       "bad.txt' is a layered sound's text that cannot be used: layer 4: the start is 0 to 2646000 samples (60 s), not 2646001"},
  };
  for (const char* extra : {" --seed 2", " --csv 1", " --buffer-length 1"}) {
    const auto bad = RunTool("info --layers " + dir / "p.json" + " --sound mix" + extra);
    EXPECT_TRUE(bad.Status == 2 && Has(bad.Err, "and --layers cannot go together")) << extra << bad.Err;
  }
  for (const Refusal& c : refusals) {
    SCOPED_TRACE(c.args);
    const auto bad = RunTool("render " + c.args);
    EXPECT_TRUE(bad.Status == c.status && LineCount(bad.Err) == 1 && Has(bad.Err, c.message)) << bad.Status << bad.Err;
    EXPECT_FALSE(fs::exists(dir / "x.wav"));
  }
  // batch --project writes the same mix, and its manifest's command, run in the folder, makes it again.
  const auto batch = RunTool("batch --project " + dir / "p.json" + " --out-dir " + dir / "o");
  ASSERT_EQ(batch.Status, 0) << batch.Err;
  EXPECT_EQ(ReadText(dir / "o/mix.wav"), ModuleImage(expected));
  EXPECT_EQ(ReadText(dir / "o/plain.wav"), ReadText(dir / "plain.wav"));
  const Json entry = Json::parse(ReadText(dir / "o/manifest.json"))["sounds"][1];
  EXPECT_TRUE(entry["seed"].is_null() && entry["sfs"].is_null() && entry["layers"] == 5 &&
              entry["mix_clipped"] == clipped && entry["samples"] == expected.size())
      << entry;
  fs::rename(dir / "o/mix.wav", dir / "mix-first.wav");
  const std::string command = entry["command"];
  ASSERT_EQ(RunCommandIn(dir / "o", command).Status, 0) << command;
  EXPECT_EQ(ReadText(dir / "o/mix.wav"), ReadText(dir / "mix-first.wav")) << command;
  // The command names the sound, so a layered sound needs a name of its own.
  Json twins = project;
  twins["sounds"][0]["name"] = "mix";
  std::ofstream(dir / "twins.json") << twins.dump();
  const auto shared = RunTool("batch --project " + dir / "twins.json" + " --out-dir " + dir / "t");
  EXPECT_TRUE(shared.Status == 1 && Has(shared.Err, "sound 2 ('mix') is a layered sound whose name another sound shares"))
      << shared.Err;
  const auto which = RunTool("render --layers " + dir / "twins.json" + " --sound mix -o " + dir / "x.wav");
  EXPECT_TRUE(which.Status == 1 && Has(which.Err, "holds 2 sounds named 'mix'")) << which.Err;
  // Another letter case is another name, though not another file name.
  twins["sounds"][0]["name"] = "Mix";
  std::ofstream(dir / "cased.json") << twins.dump();
  ASSERT_EQ(RunTool("batch --project " + dir / "cased.json" + " --out-dir " + dir / "c").Status, 0);
  EXPECT_EQ(ReadText(dir / "c/mix-2.wav"), ModuleImage(expected));
}

// A project brings its own recipes: the options of one recipe are refused beside it.
TEST(Project, OptionsOfOneRecipeAreRefusedBesideIt) {
  const char* const options[] = {"--count 2", "--preset coin", "--seed 3", "--set Volume=1", "--buffer-length 2",
                                 "--name n"};
  ScratchDir dir;
  std::ofstream(dir / "p.json") << Project({Sound("a", 5, DefaultParams(), 1)}).dump();
  for (const std::string option : options) {
    SCOPED_TRACE(option);
    const auto r = RunTool("batch --project " + dir / "p.json" + " --out-dir " + dir / "o " + option);
    const std::string name = option.substr(0, option.find(' '));
    EXPECT_TRUE(r.Status == 2 &&
                (r.Err == "quavix: error: " + name + " cannot be given with --project\n" ||
                 r.Err == "quavix: error: --project cannot be given with " + name + "\n"))
        << r.Err;
  }
  const auto none = RunTool("batch --preset coin --out-dir " + dir / "o");
  EXPECT_TRUE(none.Status == 2 && Has(none.Err, "batch needs --count N (or --project FILE)")) << none.Err;
  EXPECT_FALSE(fs::exists(dir / "o"));
}

}  // namespace
}  // namespace quavix::test
