/* libtarvik stand-in: process feature-state initialisation and UTF-8 text validation, decoding and
 * escaping. */
#ifndef TARVIK_H
#define TARVIK_H

#ifdef __cplusplus
extern "C" {
#endif

/* Prepares the process-wide feature-state facility. Safe to call any number of times and from any
 * thread; only the first call does work, later calls return at once. */
void TarvikFeatures_Init(void);

/* Non-zero once TarvikFeatures_Init has run in this process. */
int TarvikFeatures_IsInitialized(void);

/* How many times TarvikFeatures_Init has been called in this process (every call counts, not only
 * the first). Lets a program check that its start-up code initialises the facility exactly once. */
long TarvikFeatures_InitCallCount(void);

/* Encodings understood by the text functions. */
enum { TARVIK_ENCODING_UTF8 = 0 };

/* Non-zero when `text` is valid UTF-8: no overlong forms, no surrogates (U+D800..U+DFFF), nothing
 * above U+10FFFF, no stray continuation bytes and no truncated sequences.
 *   text      the bytes; NULL is taken as the empty text.
 *   length    the number of bytes, or -1 when `text` is NUL-terminated. With an explicit length an
 *             embedded NUL byte is an ordinary (valid) U+0000.
 *   encoding  TARVIK_ENCODING_UTF8 (0); any other value, or a length below -1, yields 0. */
int TarvikText_IsValid(const char* text, long length, int encoding);

/* Decodes the one UTF-8 sequence at the start of `text`, of which `length` bytes are available.
 * Returns the sequence's length in bytes (1 to 4) and stores its code point in *codePoint; returns 0
 * and leaves *codePoint alone when the bytes there do not start a sequence that TarvikText_IsValid
 * accepts (or `text` is NULL, or `length` below 1). A NUL byte is the one-byte sequence U+0000. */
int TarvikText_DecodeOne(const char* text, long length, unsigned long* codePoint);

/* Returns a newly malloc'ed, NUL-terminated, always valid UTF-8 rendering of `text` (same
 * arguments as TarvikText_IsValid); release it with free(). Valid sequences are copied unchanged,
 * except for two characters that are escaped so that the rendering can be decoded unambiguously:
 *   - every byte that is not part of a valid sequence becomes \xNN (two upper-case hex digits),
 *     one escape per byte, e.g. the bytes "a\xff" render as the 5 characters a \ x F F;
 *   - a backslash becomes two backslashes;
 *   - a U+0000 inside an explicit-length text becomes \x00 (the result is NUL-terminated).
 * Decoding "\\" -> backslash and "\xNN" -> byte NN gives the original bytes back.
 * Returns NULL with errno set on bad arguments (EINVAL: unknown encoding or length below -1) or
 * when memory runs out (ENOMEM). */
char* TarvikText_Escape(const char* text, long length, int encoding);

#ifdef __cplusplus
}
#endif

#endif /* TARVIK_H */
