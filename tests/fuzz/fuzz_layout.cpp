// libFuzzer target for the column layout reader: any bytes may be a
// damaged or hostile "GridColoane.cfg". Reading must end, never crash and
// stay within bounded memory; whatever it reads must write out again and
// read back the same.
#include "Streeming.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    LayoutReader reader(bytes);
    for (int i = 0; i < 4; ++i) {
        TObjectWrapper rec;
        const LayoutReader::Outcome outcome = reader.next(&rec);
        if (outcome == LayoutReader::Outcome::Failed)
            break;
        for (const GridColumn& c : rec.WrappedPersistent)
            ColumnLook::of(c);
        LayoutReader again(rec.write());
        TObjectWrapper back;
        if (again.next(&back) != LayoutReader::Outcome::Loaded ||
            back.WrappedPersistent.size() != rec.WrappedPersistent.size())
            std::abort();
    }
    return 0;
}
