// Portable: the field readers and the number formatter shared by the displays
// and their screen records.  Every reader is bounded by its destination and by
// the field widths below, so a damaged or hostile record can make a value
// wrong but never write outside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>

// Widest numeric field the readers look at; longer digit runs are cut there.
constexpr size_t kNumberFieldChars = 19;

// Integer field (stops at ",", ";", "*", a line end or the end of the text).
// Empty or non-numeric gives 0; values beyond int32 saturate.  *pos moves
// just past the separator.
int32_t ReadIntField(const char* text, size_t* pos);
// Unsigned 32-bit field (colours written as "%lu"); a negative or non-numeric
// field gives 0, larger values saturate.
uint32_t ReadUIntField(const char* text, size_t* pos);
// Floating field; empty, non-numeric or non-finite gives 0.
double ReadDoubleField(const char* text, size_t* pos);
// Text field up to ",", ";", "|", a line end or the end, cut to size - 1
// characters (the rest of the field is skipped).
void ReadStringField(const char* text, size_t* pos, char* out, size_t size);
// The rest of the text up to `terminator`, a line end or the end, cut to
// size - 1 characters.
void ReadRestField(const char* text, size_t* pos, char terminator, char* out, size_t size);

// Copies `text` into out (capacity size) with every character that would end
// a field (",", ";", "|", CR, LF) replaced by a blank, so a title or a font
// face written into a record reads back as one field.
void CopyFieldText(const char* text, char* out, size_t size);

// The displays' number formatter: magnitudes above 100,000 (and values that
// are not finite) in exponent notation with `precision` digits, others in
// fixed notation with `precision` decimals.  Precision is held to 0-15.
// Always terminates `out`; never writes more than `size` bytes.
void FormatDisplayNumber(double value, int32_t precision, char* out, size_t size);
