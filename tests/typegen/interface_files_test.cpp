// The installed compiler on interface files whose meaning rests on the
// parser: tags named before their bodies, enumeration constants as case
// labels, union arms sized by members of their struct. What it accepts
// compiles with cc -Wall -Werror and round-trips through xdrmem; what it
// cannot code is a counted error that names the member, after which the
// version's files are gone and the run ends with status 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generated_files.h"

using namespace generated;

namespace {

// Writes `idl` as iface.idl into `dir` and runs the compiler there; its
// status, its error stream in *errors.
int compileInterface(const std::string& dir, const std::string& idl, std::string* errors)
{
    writeFile(dir + "/iface.idl", idl);
    const int status = run(
        dir, "'" VELORIN_TEST_PREFIX "/bin/Velorin' iface.idl >stdout.txt 2>stderr.txt", nullptr);
    *errors = readFile(dir + "/stderr.txt");
    return status;
}

// An empty directory of the running test's own, told apart by `tag`.
std::string freshDirectory(const std::string& tag)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string dir = std::string(TYPEGEN_WORK_DIR) + "/" + info->test_suite_name() + "." +
                            info->name() + "." + tag;
    EXPECT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    return dir;
}

// Compiles `idl` (interface `iface`), which must be accepted, then the
// generated C files; the directory.
std::string acceptedInterface(const std::string& tag, const std::string& idl)
{
    const std::string dir = freshDirectory(tag);
    std::string errors, output;
    EXPECT_EQ(compileInterface(dir, idl, &errors), 0) << errors;
    EXPECT_EQ(errors.find("Error"), std::string::npos) << errors;
    EXPECT_EQ(compileHeader(dir, "iface", &output), 0) << output;
    EXPECT_EQ(run(dir,
                  std::string(VELORIN_TEST_CC) + " " + cFlags() +
                      " -c iface_xdr.c iface_svc.c iface_cln.c",
                  &output),
              0)
        << output;
    return dir;
}

// The routine `name` as the XDR file holds it.
std::string routineText(const std::string& dir, const std::string& name)
{
    const std::string xdr = readFile(dir + "/iface_xdr.c");
    const size_t start = xdr.find("bool_t " + name + "(");
    if (start == std::string::npos)
        return "";
    return xdr.substr(start, xdr.find("\n}\n", start) - start);
}

const char* const exportProcedures =
    "interface iface { exports exportlist(in int x); } = 100005;\n";

}  // namespace

// A tag used through a pointer typedef before its body (the MOUNT order)
// is that body: the same header and XDR file as the body written first.
TEST(InterfaceFiles, ForwardTagIsTheLaterBody)
{
    const std::string body =
        "struct exportnode {\n\tint ex_dir;\n\tstruct exportnode *ex_next;\n};\n";
    const std::string pointer = "typedef struct exportnode *exports;\n";
    const std::string forward = acceptedInterface("forward", pointer + body + exportProcedures);
    const std::string first = acceptedInterface("first", body + pointer + exportProcedures);
    EXPECT_EQ(readFile(forward + "/iface.h"), readFile(first + "/iface.h"));
    EXPECT_EQ(readFile(forward + "/iface_xdr.c"), readFile(first + "/iface_xdr.c"));
    EXPECT_NE(routineText(forward, "xdr_exportnode").find("&pexportnode->ex_dir"),
              std::string::npos);
}

// The list linked through the typedef itself, as the MOUNT protocol writes
// it: the members travel, with the bytes of the body-first order.
TEST(InterfaceFiles, MountStyleListRoundTrips)
{
    const std::string forward = acceptedInterface(
        "forward",
        "typedef char [size = strlen(*this)+1, maxsize = 1024] dirpath;\n"
        "typedef struct exportnode *exports;\n"
        "struct exportnode {\n\tdirpath ex_dir;\n\tint ex_flags;\n\texports ex_next;\n};\n" +
            std::string(exportProcedures));
    const std::string first = acceptedInterface(
        "first",
        "typedef char [size = strlen(*this)+1, maxsize = 1024] dirpath;\n"
        "struct exportnode {\n\tdirpath ex_dir;\n\tint ex_flags;\n\tstruct exportnode *ex_next;\n};\n"
        "typedef struct exportnode *exports;\n" +
            std::string(exportProcedures));
    EXPECT_EQ(routineText(forward, "xdr_exportnode"), routineText(first, "xdr_exportnode"));
    const std::string program = R"C(
int main(void) {
	struct exportnode second = { "/b", 2, 0 }, head = { "/a", 1, &second };
	exports list = &head, back = 0;
	u_int n = encode((xdrproc_t)xdr_exports, &list);
	CHECK(wire_is(n, "00000001" "00000003" "2f610000" "00000001" "00000001"
	                 "00000003" "2f620000" "00000002" "00000000"));
	CHECK(decode((xdrproc_t)xdr_exports, &back, wire, n));
	CHECK(back && strcmp(back->ex_dir, "/a") == 0 && back->ex_flags == 1);
	CHECK(back->ex_next && strcmp(back->ex_next->ex_dir, "/b") == 0 && !back->ex_next->ex_next);
	exports_freeres(&back);
)C";
    expectProgramPasses(forward, "iface", program);
    expectProgramPasses(first, "iface", program);
}

// Enumeration constants label union arms, and an arm's size names a member
// of the enclosing struct; both compile and round-trip.
TEST(InterfaceFiles, EnumerationLabelsAndArmSizes)
{
    const std::string dir = acceptedInterface(
        "labels", "enum color { RED, GREEN = 5, BLUE };\n"
                  "typedef enum { SMALL = 1, LARGE } size_kind;\n"
                  "struct shade {\n\tenum color c;\n\tint n;\n"
                  "\tunion switch (c) {\n\tcase RED: int r;\n\tcase GREEN: double g;\n"
                  "\tcase BLUE: int [size = n, maxsize = 4] v;\n\t} u;\n\tsize_kind k;\n};\n"
                  "interface iface { int paint(in struct shade* s); } = 100006;\n");
    expectProgramPasses(dir, "iface", R"C(
int main(void) {
	struct shade s, back;
	int values[2] = { 7, -7 };
	u_int n;
	CHECK(RED == 0 && GREEN == 5 && BLUE == 6 && SMALL == 1 && LARGE == 2);
	memset(&s, 0, sizeof s);
	s.c = GREEN;
	s.u.g = 2.0;
	s.k = LARGE;
	n = encode((xdrproc_t)xdr_shade, &s);
	CHECK(wire_is(n, "00000005" "00000000" "4000000000000000" "00000002"));
	memset(&back, 0, sizeof back);
	CHECK(decode((xdrproc_t)xdr_shade, &back, wire, n) && back.c == GREEN && back.u.g == 2.0 && back.k == LARGE);
	shade_freeres(&back);

	s.c = BLUE;
	s.n = 2;
	s.u.v = values;
	n = encode((xdrproc_t)xdr_shade, &s);
	CHECK(wire_is(n, "00000006" "00000002" "00000002" "00000007" "fffffff9" "00000002"));
	memset(&back, 0, sizeof back);
	CHECK(decode((xdrproc_t)xdr_shade, &back, wire, n));
	CHECK(back.n == 2 && back.u.v && back.u.v[0] == 7 && back.u.v[1] == -7);
	shade_freeres(&back);
)C");
}

// What cannot be coded: a counted error naming the member; the version's
// files are removed and the run ends with status 1.
TEST(InterfaceFiles, UncodableDeclarationsAreCountedErrors)
{
    struct Case {
        const char* tag;
        const char* declarations;  // used by the procedure `use(in struct s* p)`
        const char* message;
    };
    const std::vector<Case> cases = {
        {"undefined_tag", "struct s { int a; struct missing *m; };\n",
         "Error: struct or union missing not defined\n"},
        {"unbounded_array", "struct s { int n; int [] v; };\n",
         "Error:  array v of struct s has neither size nor maxsize.\n"},
        {"unbounded_typedef", "typedef int [] blob;\nstruct s { blob b; };\n",
         "Error:  array blob of typedef blob has neither size nor maxsize.\n"},
        {"string_label", "struct s { int k; union switch (k) { case \"one\": int a; } u; };\n",
         "Error:  case label \"one\" of arm a in union u of struct s is a string.\n"},
        {"repeated_label",
         "struct s { int k; union switch (k) { case 1: int a; case 0x1: int b; } u; };\n",
         "Error:  case label 1 of arm b in union u of struct s repeats the label of arm a.\n"},
        {"enum_label_repeats_number",
         "enum color { RED, GREEN = 5, BLUE };\n"
         "struct s { int k; union switch (k) { case BLUE: int a; case 6: int b; } u; };\n",
         "Error:  case label 6 of arm b in union u of struct s repeats the label of arm a.\n"},
        {"constant_twice", "enum a { X };\nenum b { Y, X };\nstruct s { enum a v; };\n",
         "Error:  enumeration constant X is defined twice.\n"},
        {"string_constant", "enum a { X = \"x\" };\nstruct s { enum a v; };\n",
         "Error:  enumeration constant X has a string as its value.\n"},
        {"unnamed_struct_member", "struct s { struct { int n; int [] v; } inner; };\n",
         "Error:  array v of struct (unnamed) has neither size nor maxsize.\n"},
        {"discriminant_after", "struct s { union switch (k) { case 1: int a; } u; int k; };\n",
         "Error:  discriminant k of union u of struct s is not a member declared before the union.\n"},
        {"arm_without_bound",
         "struct s { int k; union switch (k) { case 1: int [size = k] a; } u; };\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        const std::string dir = freshDirectory(c.tag);
        std::string errors;
        const int status =
            compileInterface(dir,
                             std::string(c.declarations) +
                                 "interface iface { int use(in struct s* p); } = 100007;\n",
                             &errors);
        if (!*c.message) {
            // Accepted: then it compiles.
            std::string output;
            EXPECT_EQ(status, 0) << errors;
            EXPECT_EQ(run(dir, std::string(VELORIN_TEST_CC) + " " + cFlags() + " -c iface_xdr.c",
                          &output),
                      0)
                << output;
            continue;
        }
        EXPECT_EQ(status, 1) << errors;
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
        EXPECT_NE(errors.find("semantic errors have been found"), std::string::npos) << errors;
        EXPECT_FALSE(exists(dir + "/iface.h"));
        EXPECT_FALSE(exists(dir + "/iface_xdr.c"));
    }
}
