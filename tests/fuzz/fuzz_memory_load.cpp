// The memory image load through the transfer dialog's limits: any device size, any file
// length, any typing and leaving in the dialog's three fields, in either number base, then
// OK. The dialog's rules are those of TF_BinZielDlg (its maxima, CalkByteAnzahl, the leave
// rules), made of the same pure helpers; the load is memLoadRange and the copy of
// TF_MemoryTool::TB_ReadFileClick (keep them in step with those two). The load never touches a byte outside
// MemData/MemState or outside the file, the count is never negative, the texts at OK convert strictly, and
// inside the dialog's limits exactly the bytes asked for are moved.
//
// Input: flags (number base), device size (4 bytes), file length (4 bytes), then steps: a
// field byte (0-2 types into that field, 3 leaves the field with the focus) and the text.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzzinput.h"
#include "memorylogic.h"
#include "numberfield.h"
#include "numbertext.h"

namespace {

struct TransferDialog {
    bool hex = true;
    NumberField field;
    std::int32_t devBytes = 0, fileBytes = 0, fileOffset = 0, bufferOffset = 0, byteAnzahl = 0;
    std::string text[3];  // LE_FileOffset, LE_BufferOffset, LE_Bytes
    int focus = 0;

    std::string prefix() const { return hex ? "0x" : ""; }
    std::string format(std::int32_t v) const { return memFormat("%1", hex, v); }
    std::int32_t strict(const std::string& t) const {
        const size_t first = t.find_first_not_of(' ');
        return StrToInt(prefix() + (first == std::string::npos ? std::string() : t.substr(first)));
    }

    std::int32_t calk() {
        byteAnzahl = std::max(0, memLargestCount(fileBytes, fileOffset, devBytes, bufferOffset));
        return byteAnzahl;
    }
    std::int32_t maximum(int f) { return f == 0 ? fileBytes - 1 : f == 1 ? devBytes - 1 : calk(); }

    void show(const std::string& devLabel, const std::string& fileLabel) {
        devBytes = strict(devLabel);
        fileBytes = strict(fileLabel);
        text[0] = text[1] = format(0);
        bufferOffset = strict(text[1]);
        fileOffset = strict(text[0]);
        calk();
        text[2] = format(byteAnzahl);
    }

    void type(int f, const std::string& typed) {
        if (f != focus) leave();
        focus = f;
        const std::int32_t max = maximum(f);
        std::string now;
        try {
            now = NumberFieldTyped(field, typed, max);
        } catch (const EConvertError&) {
            return;  // beyond 32 bits: the field keeps its last good text
        }
        text[f] = now;
        FUZZ_CHECK(now.empty() || now == NumberFieldText(field, NumberFieldValue(field, now)));
        FUZZ_CHECK(NumberFieldValue(field, now) <= std::max(max, 1));
    }

    void leave() {
        const std::int32_t v = NumberFieldValue(field, text[focus]);
        FUZZ_CHECK(v >= 0);
        if (focus == 2) {
            byteAnzahl = v;
            text[2] = format(byteAnzahl);
            return;
        }
        (focus == 0 ? fileOffset : bufferOffset) = v;
        text[focus] = format(v);
        calk();
        text[2] = format(byteAnzahl);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kevofuzz::FuzzInput in(data, size);
    const bool hex = in.byte() & 1;
    const int capacity = static_cast<int>(in.u32() % 70000);
    const std::int64_t length = in.u32() % 140000;

    TransferDialog dlg;
    dlg.hex = hex;
    dlg.field = NumberField::memoryBase(hex, true);
    // The labels read back as the sizes they show.
    dlg.show(memFormat("%1.2", hex, capacity), memFormat("%1.2", hex, static_cast<std::int32_t>(length)));
    FUZZ_CHECK(dlg.devBytes == capacity && dlg.fileBytes == length);
    FUZZ_CHECK(dlg.byteAnzahl == std::min<std::int64_t>(capacity, length));
    for (int step = 0; step < 32 && !in.empty(); ++step) {
        const int f = in.byte() % 4;
        const std::string typed = in.shortString();
        if (f == 3)
            dlg.leave();
        else
            dlg.type(f, typed);
        FUZZ_CHECK(dlg.byteAnzahl >= 0);
    }
    dlg.leave();  // OK takes the focus first

    // The caller reads the three texts by strict conversion: they are canonical by now.
    std::int32_t fileOffset = 0, bufferOffset = 0, count = 0;
    try {
        fileOffset = dlg.strict(dlg.text[0]);
        bufferOffset = dlg.strict(dlg.text[1]);
        count = dlg.strict(dlg.text[2]);
    } catch (const EConvertError&) {
        FUZZ_CHECK(!"a text at OK does not convert");
    }
    FUZZ_CHECK(fileOffset >= 0 && bufferOffset >= 0 && count >= 0);

    const MemLoadRange r = memLoadRange(fileOffset, bufferOffset, count, capacity, length);
    FUZZ_CHECK(r.count >= 0);
    if (r.count > 0) {
        FUZZ_CHECK(r.bufferOffset >= 0 && r.bufferOffset + r.count <= capacity);
        FUZZ_CHECK(r.fileOffset >= 0 && r.fileOffset + r.count <= length);
    }
    // Inside the dialog's limits, exactly what was asked for is moved.
    if (fileOffset < length && bufferOffset < capacity && count <= length - fileOffset &&
        count <= capacity - bufferOffset)
        FUZZ_CHECK(r.count == count && r.fileOffset == fileOffset && r.bufferOffset == bufferOffset);

    // The load as the monitor makes it, into buffers of exactly the device size and from a
    // file of exactly its length (the sanitizers see any byte outside them).
    std::vector<uint8_t> file(static_cast<size_t>(length), 0x11), mem(static_cast<size_t>(capacity)),
        state(static_cast<size_t>(capacity));
    if (r.count > 0) std::copy_n(file.begin() + r.fileOffset, r.count, mem.begin() + r.bufferOffset);
    for (int i = 0; i < r.count; ++i) state[size_t(r.bufferOffset + i)] |= MemChanged;
    return 0;
}
