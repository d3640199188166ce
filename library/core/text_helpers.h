// String, memory, number and path routines for Shift-JIS text, and the
// intrusive handle list. Every routine that scans a string steps over
// double-byte characters as a whole.
#pragma once

#include <cstddef>
#include <cstdint>

// Character sets of the double-byte test.
constexpr int32_t CharSetShiftJis = 1;
constexpr int32_t CharSetKorean = 2;      // code page 949
constexpr int32_t CharSetBig5 = 3;        // code page 950
constexpr int32_t CharSetSimplified = 4;  // code page 936

extern int32_t LibraryCharSet;   // 0 until set; 0 tests as Shift-JIS
extern int32_t LibraryCodePage;  // 932, 949, 950, 936, or 0

// 1 when the byte at p starts a double-byte character of the character set.
int CheckDoubleByteLead(const char* p, int32_t charSet);
// The same test with LibraryCharSet, also requiring a second byte before the
// terminator, so a cut-off lead byte is never stepped over with the NUL.
bool IsDoubleByteAt(const char* p);

// Copies src into dst of dstSize bytes, cut at a character boundary when it
// does not fit; always terminates (dstSize 0 writes nothing).
char* StrCopy(char* dst, size_t dstSize, const char* src);
template <size_t N>
char* StrCopy(char (&dst)[N], const char* src) {
  return StrCopy(dst, N, src);
}
// Copies at most n bytes of src (stopping at its NUL) and terminates: dst
// must hold n + 1 bytes. n < 1 gives an empty string.
char* StrCopyN(char* dst, const char* src, int32_t n);
const char* StrFindChar(const char* s, int c);
char* StrFindChar(char* s, int c);
int StrCompare(const char* a, const char* b);
int StrCompareN(const char* a, const char* b, int32_t n);
char* StrToUpper(char* s);

int MemFill(void* p, int byte, size_t n);
int MemCompare(const void* a, const void* b, size_t n);
void* MemCopy(void* dst, const void* src, size_t n);
void* MemMove(void* dst, const void* src, size_t n);

int32_t StrToInt(const char* s);
double StrToDouble(const char* s);
// Radix 2 to 36; any other radix writes an empty string. The buffer must hold
// IntToStrBufferSize bytes.
constexpr size_t IntToStrBufferSize = 34;
char* IntToStr(int32_t value, char* buffer, int32_t radix);

int32_t AbsInt(int32_t value);
float AbsFloat(float value);
// Truncation toward zero; NaN and values outside the 32-bit range give
// INT32_MIN, as the processor's conversion does.
int32_t FloatToIntTrunc(float value);
int32_t DoubleToIntTrunc(double value);
void RectDoubleToInt(double x1, double y1, double x2, double y2, int32_t* out);
float SqrtFloat(float value);
double PowFloat(float base, float exponent);
void ComputeSinCos(float angle, float* sinOut, float* cosOut);

// Intrusive doubly linked list of handles with head and tail sentinels.
struct HandleListNode {
  int32_t handle;
  void* record;
  HandleListNode* prev;
  HandleListNode* next;
};

int InitHandleList(HandleListNode* head, HandleListNode* tail);
int AddHandleListNode(HandleListNode* head, HandleListNode* node, int32_t handle, void* record);
int RemoveHandleListNode(HandleListNode* node);

// Writes the absolute Windows form of path (".", ".." resolved, '\'
// separators) to out. base is a directory, or null for the current directory.
// Returns 0, or -1 with an empty out when the result does not fit outSize.
int MakeFullPath(const char* path, char* out, size_t outSize, const char* base);
template <size_t N>
int MakeFullPath(const char* path, char (&out)[N], const char* base) {
  return MakeFullPath(path, out, N, base);
}

// The directory MakeFullPath resolves against when given no base.
int QueryCurrentDirectory(char* out, size_t outSize);
