// Any bytes, read as a document file and written again without an edit, give the same bytes back
// (plus the one line end a save adds to a text without a final one); any bytes, taken as a file
// name, come back as the same name.
#include "document/FileCodec.h"
#include "host/LocalFileName.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const DecodedFile decoded = decodeFile(bytes);
    const EncodedFile encoded = encodeFile(decoded.utf8, decoded.format);
    const bool endsWithLineEnd = decoded.utf8.endsWith('\n') || decoded.utf8.endsWith('\r');
    if (encoded.unmappable != 0 || !isValidUtf8(decoded.utf8.constData(), decoded.utf8.size()))
        std::abort();
    if (endsWithLineEnd ? encoded.bytes != bytes : !encoded.bytes.startsWith(bytes))
        std::abort();
    if (!endsWithLineEnd) {
        FileFormat plain = decoded.format;
        const QByteArray lineEnd = encodeFile(lineEndBytes(plain.lineEnd), plain).bytes;
        // The added line end is the one the file's encoding writes, byte order mark left out.
        if (!lineEnd.endsWith(encoded.bytes.sliced(bytes.size())))
            std::abort();
    }

    if (localFileName(fileNameFromLocal(bytes)) != bytes)
        std::abort();
    return 0;
}
