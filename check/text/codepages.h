/*
 * The code pages the checker knows, one line each, and what it knows of
 * each: its kind, the locale whose sorted order goes with it (a Windows
 * LCID, 0 for none measured) and that locale's name where Wine takes one
 * from LANG, the UTF-16 unit an invalid pair decodes to, and its lead
 * bytes (two ranges at most, first and last; 0 for none).
 *
 * The only list of them: the C++ includes it with CODE_PAGE defined as it
 * needs, and CMake (CMakeLists.txt here) and the differential tests
 * (tests/differential.sh) read its lines. Keep each on one line.
 */
CODE_PAGE(874, SINGLE_BYTE, 0x041E, th_TH, '?', 0, 0, 0, 0)          /* Thai */
CODE_PAGE(1250, SINGLE_BYTE, 0x0415, pl_PL, '?', 0, 0, 0, 0)         /* Polish */
CODE_PAGE(1251, SINGLE_BYTE, 0x0419, ru_RU, '?', 0, 0, 0, 0)         /* Russian */
CODE_PAGE(1252, SINGLE_BYTE, 0x0409, en_US, '?', 0, 0, 0, 0)         /* English (United States) */
CODE_PAGE(1253, SINGLE_BYTE, 0x0408, el_GR, '?', 0, 0, 0, 0)         /* Greek */
CODE_PAGE(1254, SINGLE_BYTE, 0x041F, tr_TR, '?', 0, 0, 0, 0)         /* Turkish */
CODE_PAGE(1255, SINGLE_BYTE, 0x040D, he_IL, '?', 0, 0, 0, 0)         /* Hebrew */
CODE_PAGE(1256, SINGLE_BYTE, 0x0401, ar_SA, '?', 0, 0, 0, 0)         /* Arabic (Saudi Arabia) */
CODE_PAGE(1257, SINGLE_BYTE, 0x0427, lt_LT, '?', 0, 0, 0, 0)         /* Lithuanian */
CODE_PAGE(1258, SINGLE_BYTE, 0x042A, vi_VN, '?', 0, 0, 0, 0)         /* Vietnamese */
CODE_PAGE(932, DOUBLE_BYTE, 0x0411, ja_JP, 0x30FB, 0x81, 0x9F, 0xE0, 0xFC) /* Japanese */
CODE_PAGE(936, DOUBLE_BYTE, 0x0804, zh_CN, '?', 0x81, 0xFE, 0, 0)    /* Chinese (Simplified) */
CODE_PAGE(949, DOUBLE_BYTE, 0x0412, ko_KR, '?', 0x81, 0xFE, 0, 0)    /* Korean */
CODE_PAGE(950, DOUBLE_BYTE, 0x0404, zh_TW, '?', 0x81, 0xFE, 0, 0)    /* Chinese (Traditional) */
CODE_PAGE(65001, UTF8, 0, none, 0xFFFD, 0, 0, 0, 0)                  /* UTF-8 */
