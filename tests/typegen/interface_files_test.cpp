// The installed compiler on interface files whose meaning rests on the
// parser: tags named before their bodies, enumeration constants as case
// labels, union arms sized by members of their struct, strings written as
// rpcgen's string<N> (checked against rpcgen's code for them). What it
// accepts compiles with cc -Wall -Werror and round-trips through xdrmem;
// what it cannot code is a counted error that names the member, after
// which the version's files are gone and the run ends with status 1.
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
        {"void_arm",
         "struct s { int k; union switch (k) { case 1: int a; case 2: void v; } u; };\n",
         "Error:  arm v in union u of struct s is void: leave case 2 out, a discriminant that no "
         "arm matches travels alone.\n"},
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

namespace {

// rpcgen's string<N> in the containers below, N = 8, the types named after
// Velorin's with a prefix; the prefix w with N = 9 writes the bytes of a
// string one character longer than the bound.
const char* const kPeerStrings = R"X(typedef string Pnm<N>;
struct Pmember { Pnm s; };
struct Ppair { Pnm a[2]; };
struct Poptional { Pnm *p; };
union Parm switch (int k) { case 1: Pnm s; };
struct Pentry { Pnm name; Pentry *next; };
struct Pgroup { Pentry *names; Pgroup *next; };
struct Pmany { int n; Pnm v<3>; };
)X";

// Writes P.x with the prefix P and the bound N, and rpcgen's code of it.
int writePeer(const std::string& dir, const std::string& prefix, const std::string& bound)
{
    std::string text = kPeerStrings;
    for (size_t at = text.find('P'); at != std::string::npos; at = text.find('P', at))
        text.replace(at, 1, prefix);
    text.replace(text.find("<N>"), 3, "<" + bound + ">");
    writeFile(dir + "/" + prefix + ".x", text);
    return run(dir,
               "rpcgen -h -o " + prefix + ".h " + prefix + ".x && rpcgen -c -o " + prefix +
                   "_xdr.c " + prefix + ".x",
               nullptr);
}

}  // namespace

// A string measured by its own length (rpcgen's string<N>: a count, the
// characters without their NUL, padding) holding exactly its bound, in
// every container: Velorin's code and rpcgen's write the same bytes, each
// decodes the other's and encodes them again unchanged; a character more is
// refused by both, and shorter strings keep their padding.
TEST(InterfaceFiles, StringsOfTheirBoundAgreeWithRpcgen)
{
    const std::string dir = acceptedInterface(
        "bound", "typedef char [size = strlen(*this), maxsize = 8] nm;\n"
                 "struct member { nm s; };\n"
                 "struct pair { nm a[2]; };\n"
                 "struct optional { nm *p; };\n"
                 "struct arm { int k; union switch (k) { case 1: nm s; } u; };\n"
                 "struct entry { nm name; struct entry *next; };\n"
                 "struct group { struct entry *names; struct group *next; };\n"
                 "struct many { int n; nm [size = n, maxsize = 3] v; };\n"
                 "interface iface { int use(in nm x, in struct member* a, in struct pair* b,\n"
                 "\tin struct optional* c, in struct arm* d, in struct entry* e,\n"
                 "\tin struct group* f, in struct many* g); } = 100008;\n");
    std::string output;
    if (run(dir, "command -v rpcgen", &output) != 0)
        GTEST_SKIP() << "rpcgen is not installed";
    ASSERT_EQ(writePeer(dir, "r", "8"), 0);
    ASSERT_EQ(writePeer(dir, "w", "9"), 0);
    expectProgramPasses(dir, "iface", R"C(
/* rpcgen's routines declare a variable they do not use. */
#pragma GCC diagnostic ignored "-Wunused-variable"
#include "r_xdr.c"
#include "w_xdr.c"

/* Every container filled with the string s (and, where it holds more
   than one, "x" beside it): Velorin's types, then rpcgen's. */
static void v_nm(void* v, char* s) { *(nm*)v = s; }
static void v_member(void* v, char* s) { ((struct member*)v)->s = s; }
static void v_pair(void* v, char* s) { ((struct pair*)v)->a[0] = "x"; ((struct pair*)v)->a[1] = s; }
static void v_optional(void* v, char* s) { static nm held; held = s; ((struct optional*)v)->p = &held; }
static void v_arm(void* v, char* s) { ((struct arm*)v)->k = 1; ((struct arm*)v)->u.s = s; }
static void v_entry(void* v, char* s) {
	static struct entry second;
	second.name = s;
	second.next = 0;
	((struct entry*)v)->name = "x";
	((struct entry*)v)->next = &second;
}
static void v_group(void* v, char* s) {
	static struct entry one, two, three;
	static struct group next;
	one.name = "x"; one.next = 0;
	two.name = "x"; two.next = &three;
	three.name = s; three.next = 0;
	next.names = &two; next.next = 0;
	((struct group*)v)->names = &one;
	((struct group*)v)->next = &next;
}
static void v_many(void* v, char* s) {
	static nm names[2];
	names[0] = "x";
	names[1] = s;
	((struct many*)v)->n = 2;
	((struct many*)v)->v = names;
}
#define PEER_FILLS(P) \
static void P##_nm(void* v, char* s) { *(P##nm*)v = s; } \
static void P##_member(void* v, char* s) { ((P##member*)v)->s = s; } \
static void P##_pair(void* v, char* s) { ((P##pair*)v)->a[0] = "x"; ((P##pair*)v)->a[1] = s; } \
static void P##_optional(void* v, char* s) { static P##nm held; held = s; ((P##optional*)v)->p = &held; } \
static void P##_arm(void* v, char* s) { ((P##arm*)v)->k = 1; ((P##arm*)v)->P##arm_u.s = s; } \
static void P##_entry(void* v, char* s) { \
	static P##entry second; \
	second.name = s; second.next = 0; \
	((P##entry*)v)->name = "x"; ((P##entry*)v)->next = &second; \
} \
static void P##_group(void* v, char* s) { \
	static P##entry one, two, three; \
	static P##group next; \
	one.name = "x"; one.next = 0; two.name = "x"; two.next = &three; three.name = s; three.next = 0; \
	next.names = &two; next.next = 0; \
	((P##group*)v)->names = &one; ((P##group*)v)->next = &next; \
} \
static void P##_many(void* v, char* s) { \
	static P##nm names[2]; \
	names[0] = "x"; names[1] = s; \
	((P##many*)v)->n = 2; ((P##many*)v)->v.v_len = 2; ((P##many*)v)->v.v_val = names; \
}
PEER_FILLS(r)
PEER_FILLS(w)

typedef void (*fill_t)(void*, char*);
struct container {
	const char* what;
	xdrproc_t mine, peer, wide;
	fill_t fill_mine, fill_peer, fill_wide;
	size_t mine_size, peer_size, wide_size;
};
#define CONTAINER(T, MINE) { #T, (xdrproc_t)xdr_##T, (xdrproc_t)xdr_r##T, (xdrproc_t)xdr_w##T, \
	v_##T, r_##T, w_##T, sizeof(MINE), sizeof(r##T), sizeof(w##T) }
static const struct container containers[] = {
	CONTAINER(nm, nm), CONTAINER(member, struct member), CONTAINER(pair, struct pair),
	CONTAINER(optional, struct optional), CONTAINER(arm, struct arm), CONTAINER(entry, struct entry),
	CONTAINER(group, struct group), CONTAINER(many, struct many),
};

/* The value that `fill` makes of s, encoded into `bytes`; their number. */
static u_int encoded(xdrproc_t filter, fill_t fill, size_t size, char* s, unsigned char* bytes) {
	void* value = calloc(1, size);
	u_int n;
	fill(value, s);
	n = encode(filter, value);
	memcpy(bytes, wire, n);
	free(value);
	return n;
}

/* Decodes the bytes into zeroed storage: 1 when that succeeds and the value
   encodes as the same bytes again. What decoding allocated is freed. */
static int decodes_unchanged(xdrproc_t filter, size_t size, const unsigned char* bytes, u_int n) {
	void* value = calloc(1, size);
	int same = decode(filter, value, bytes, n) && encode(filter, value) == n && memcmp(wire, bytes, n) == 0;
	xdr_free(filter, (char*)value);
	free(value);
	return same;
}

static int decode_refuses(xdrproc_t filter, size_t size, const unsigned char* bytes, u_int n) {
	void* value = calloc(1, size);
	int ok = decode(filter, value, bytes, n);
	xdr_free(filter, (char*)value);
	free(value);
	return !ok;
}

int main(void) {
	static unsigned char mine[1024], peer[1024];
	static const u_int lengths[] = { 0, 1, 2, 3, 4, 5, 7, 8, 9 };
	static const char* padded[] = { "00000000", "00000001" "61000000", "00000002" "61620000",
		"00000003" "61626300", "00000004" "61626364", "00000005" "6162636465000000" };
	char text[16];
	u_int c, l, n, m;
	for(c = 0; c < sizeof containers / sizeof containers[0]; c++) {
		const struct container* k = &containers[c];
		for(l = 0; l < sizeof lengths / sizeof lengths[0]; l++) {
			memcpy(text, "abcdefghi", lengths[l]);
			text[lengths[l]] = 0;
			n = encoded(k->mine, k->fill_mine, k->mine_size, text, mine);
			m = encoded(k->peer, k->fill_peer, k->peer_size, text, peer);
			if(lengths[l] <= 8) {
				int agree = n > 0 && n == m && memcmp(mine, peer, n) == 0 &&
				            decodes_unchanged(k->mine, k->mine_size, peer, m) &&
				            decodes_unchanged(k->peer, k->peer_size, mine, n);
				if(!agree)
					printf("%s, %u characters: Velorin and rpcgen disagree\n", k->what, lengths[l]);
				CHECK(agree);
				if(c == 0 && lengths[l] <= 5)
					CHECK(wire_is(n, padded[lengths[l]]));
			} else {
				/* A character more: neither sends it, neither takes it. */
				CHECK(n == 0 && m == 0);
				m = encoded(k->wide, k->fill_wide, k->wide_size, text, peer);
				CHECK(m > 0);
				if(!decode_refuses(k->mine, k->mine_size, peer, m) ||
				   !decode_refuses(k->peer, k->peer_size, peer, m))
					printf("%s, %u characters: not refused\n", k->what, lengths[l]);
				CHECK(decode_refuses(k->mine, k->mine_size, peer, m));
				CHECK(decode_refuses(k->peer, k->peer_size, peer, m));
			}
		}
	}
	/* Storage the caller gives holds the bound and the terminator, as for
	   rpcgen's xdr_string: every string up to its bound arrives in it whole,
	   from either side; a string that is refused (a character more, a
	   message cut short) leaves that storage as it was. */
	{
		static const char* const fits[] = {"", "abcdefg", "abcdefgh"};
		char own[9];
		unsigned j;
		nm s = own;
		rnm r = own;
		for(j = 0; j < 3; j++) {
			n = encoded((xdrproc_t)xdr_nm, v_nm, sizeof(nm), (char*)fits[j], mine);
			memset(own, 'x', sizeof own);
			CHECK(decode((xdrproc_t)xdr_nm, &s, mine, n) && s == own && strcmp(own, fits[j]) == 0);
			memset(own, 'x', sizeof own);
			CHECK(decode((xdrproc_t)xdr_rnm, &r, mine, n) && r == own && strcmp(own, fits[j]) == 0);
		}
		strcpy(own, "kept");
		m = encoded((xdrproc_t)xdr_wnm, w_nm, sizeof(wnm), "abcdefghi", peer);
		CHECK(!decode((xdrproc_t)xdr_nm, &s, peer, m) && s == own && strcmp(own, "kept") == 0);
		CHECK(!decode((xdrproc_t)xdr_nm, &s, mine, n - 1) && s == own && strcmp(own, "kept") == 0);
		CHECK(decode((xdrproc_t)xdr_nm, &s, mine, n) && strcmp(own, "abcdefgh") == 0);
	}
)C");
}
