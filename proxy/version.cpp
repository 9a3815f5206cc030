// The module's version information, in the ELF note where Linux tools look
// for a binary's package metadata (owner "FDO", type 0xcafe1a7e, a JSON
// text; `readelf --notes OrvexProxy.ax` prints it). The fields are those of
// the module's version block: product and file version 1.00 (1.0.0.0),
// description and product name "ORVEX Capture", language 0x0409 with code
// page 1252, the self-registration mark, and the file flags; debug modules
// add the debug flag.

#ifdef DEBUG
#define ORVEX_FILE_FLAGS R"(\"debug\",\"prerelease\",\"privatebuild\")"
#else
#define ORVEX_FILE_FLAGS R"(\"prerelease\",\"privatebuild\")"
#endif

// clang-format off
asm(R"(
    .pushsection .note.package, "a", @note
    .balign 4
    .long 4
    .long 2f - 1f
    .long 0xcafe1a7e
    .asciz "FDO"
1:  .ascii "{\"type\":\"orvex-module\",\"name\":\"ORVEX Capture\",\"version\":\"1.00\","
    .ascii "\"fileVersion\":\"1.0.0.0\",\"productVersion\":\"1.00\","
    .ascii "\"FileDescription\":\"ORVEX Capture\",\"ProductName\":\"ORVEX Capture\","
    .ascii "\"language\":\"0409\",\"codepage\":\"1252\",\"OLESelfRegister\":\"\","
    .ascii "\"fileFlags\":[)" ORVEX_FILE_FLAGS R"(]}"
    .byte 0
2:  .balign 4
    .popsection
)");
// clang-format on
