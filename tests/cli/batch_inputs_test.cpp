// A batch never replaces or takes away the files it reads, however they are named.

#include "cli_test_util.h"

namespace quavix::test {
namespace {

struct InputCase {
  const char* What;
  const char* Setup;  // shell lines run in the scratch folder, which holds in.sfs and set/
  const char* Args;   // the batch's options, into --out-dir set
  int Status;
  const char* Err;   // part of stderr
  const char* Kept;  // a file that must still hold its input's bytes
  const char* Gone;  // a file of the earlier set that must be taken away ("" for none)
};

TEST(BatchInputs, ABatchNeverReplacesOrRemovesAFileItReads) {
  const std::string project = R"({"format": "quavix-project", "version": 1, "sounds": [{"name": "a", "seed": 1, "sfs": ")" +
                              Hex(DefaultParams()) + R"(", "buffer_length": 1}]})";
  const InputCase cases[] = {
      {"a target under the input's name", "cp in.sfs set/odd-0.wav",
       "--seed 1 --sfs set/odd-0.wav --name odd --count 2", 1,
       "cannot write 'set/odd-0.wav': it is the file of --sfs 'set/odd-0.wav', which this batch "
       "reads",
       "set/odd-0.wav", ""},
      {"a target that is a hard link to the input",
       "cp in.sfs set/odd-1.wav && ln set/odd-1.wav link.sfs",
       "--seed 1 --sfs link.sfs --name odd --count 2", 1, "it is the file of --sfs 'link.sfs'",
       "set/odd-1.wav", ""},
      {"a project file named as the manifest", "printf '%s' \"$PROJECT\" > set/manifest.json",
       "--project set/manifest.json", 1,
       "cannot write 'set/manifest.json': it is the file of --project", "set/manifest.json", ""},
      // The other side: a copy of the input under a target's name is the batch's to replace.
      {"a copy of the input under a target's name", "cp in.sfs set/odd-0.wav",
       "--seed 1 --sfs in.sfs --name odd --count 2", 0, "wrote 2 sounds", "in.sfs", ""},
      {"an input that the earlier set lists",
       "cp in.sfs set/in.sfs && touch set/old.wav && printf '{\"generator\": \"quavix 1\", "
       "\"sounds\": "
       "[{\"file\": \"in.sfs\", \"bytes\": %s, \"sha256\": \"%.64s\"}, {\"file\": \"old.wav\", "
       "\"bytes\": 0, \"sha256\": "
       "\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\"}]}' "  // SHA-256 of no
                                                                                    // bytes
       "$(stat -c %s in.sfs) \"$(sha256sum <in.sfs)\" > set/manifest.json",
       "--seed 1 --sfs set/in.sfs --name n --count 1", 0, "removed 1 file of the earlier set",
       "set/in.sfs", "set/old.wav"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    ScratchDir dir;
    const std::string setup = "cd '" + dir.Path +
                              "' && $Q render --seed 4 --preset blip -o x.wav --save-sfs in.sfs" +
                              " && mkdir set && PROJECT='" + project + "' && " + c.Setup;
    ASSERT_EQ(Shell(setup).Status, 0);
    const std::string input =
        ReadText(dir / (std::string(c.Kept) == "set/manifest.json" ? c.Kept : "in.sfs"));
    const auto r = Shell("cd '" + dir.Path + "' && $Q batch " + c.Args + " --out-dir set");
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_TRUE(Has(r.Err, c.Err)) << r.Err;
    EXPECT_EQ(ReadText(dir / c.Kept), input);
    EXPECT_TRUE(*c.Gone == 0 || !std::filesystem::exists(dir / c.Gone)) << c.Gone;
  }
}

}  // namespace
}  // namespace quavix::test
