// Cutting bodies out of the byte stream: chunked decoding in every split of
// its input, lengths and bodies that end with the connection.
#include <gtest/gtest.h>

#include <string>

#include "netquill/BodyFraming.h"
#include "netquill/ChunkedDecoder.h"

namespace {

// Feeds the input in pieces of `step` bytes; returns the body, and the
// result that ended decoding.
DecodeResult DecodeInSteps(const std::string &input, size_t step, std::string *body, size_t *leftOver)
{
    ChunkedDecoder decoder;
    body->clear();
    for (size_t offset = 0; offset < input.size(); offset += step) {
        size_t n = std::min(step, input.size() - offset);
        const char *cursor = input.data() + offset;
        const char *end = cursor + n;
        for (;;) {
            const char *data;
            size_t size;
            DecodeResult result = decoder.Next(&cursor, end, &data, &size);
            if (result == DecodeData) {
                EXPECT_GT(size, 0u);
                body->append(data, size);
                continue;
            }
            if (result != DecodeNeedMore) {
                *leftOver = input.size() - static_cast<size_t>(cursor - input.data());
                return result;
            }
            break;
        }
    }
    *leftOver = 0;
    return DecodeNeedMore;
}

TEST(ChunkedDecoder, EverySplitOfTheInputGivesTheSameBody)
{
    const std::string input =
        "5\r\nHello\r\n1A;name=value\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\nTrailer: t\r\n\r\nNEXT";
    for (size_t step = 1; step <= input.size(); ++step) {
        std::string body;
        size_t leftOver;
        EXPECT_EQ(DecodeDone, DecodeInSteps(input, step, &body, &leftOver)) << step;
        EXPECT_EQ("Helloabcdefghijklmnopqrstuvwxyz", body) << step;
        // The bytes after the body are not taken, whatever the split.
        EXPECT_EQ(4u, leftOver) << step;
    }
}

TEST(ChunkedDecoder, BareLineFeedsAndUpperCaseHex)
{
    std::string body;
    size_t leftOver;
    EXPECT_EQ(DecodeDone, DecodeInSteps("A\n0123456789\n0\n\n", 3, &body, &leftOver));
    EXPECT_EQ("0123456789", body);
}

TEST(ChunkedDecoder, IncompleteAndMalformedInput)
{
    std::string body;
    size_t leftOver;
    EXPECT_EQ(DecodeNeedMore, DecodeInSteps("5\r\nHel", 2, &body, &leftOver));
    EXPECT_EQ("Hel", body);
    const char *bad[] = {"xyz\r\n", "5\r\nHelloX\r\n0\r\n\r\n", "\r\n", "5\rX", "1234567890123456\r\n",
                         "0\r\n\rX"};
    for (const char *text : bad)
        EXPECT_EQ(DecodeMalformed, DecodeInSteps(text, 1, &body, &leftOver)) << text;
    std::string longExtension = "5;" + std::string(70000, 'e') + "\r\n";
    EXPECT_EQ(DecodeMalformed, DecodeInSteps(longExtension, 4096, &body, &leftOver));
}

TEST(BodyFraming, LengthStopsAtItsEnd)
{
    BodyFraming framing;
    framing.Start(BodyLength, 5);
    std::string input = "HelloWorld";
    const char *cursor = input.data();
    const char *data;
    size_t size;
    ASSERT_EQ(DecodeData, framing.Next(&cursor, input.data() + 3, &data, &size));
    EXPECT_EQ("Hel", std::string(data, size));
    ASSERT_EQ(DecodeData, framing.Next(&cursor, input.data() + input.size(), &data, &size));
    EXPECT_EQ("lo", std::string(data, size));
    EXPECT_EQ(DecodeDone, framing.Next(&cursor, input.data() + input.size(), &data, &size));
    EXPECT_EQ(5, cursor - input.data());
    EXPECT_FALSE(framing.EndsWithConnection());

    framing.Start(BodyLength, 0);
    EXPECT_EQ(DecodeDone, framing.Next(&cursor, input.data() + input.size(), &data, &size));
    framing.Start(BodyNone, 0);
    EXPECT_EQ(DecodeDone, framing.Next(&cursor, input.data() + input.size(), &data, &size));
}

TEST(BodyFraming, UntilCloseTakesEverything)
{
    BodyFraming framing;
    framing.Start(BodyUntilClose, 0);
    EXPECT_TRUE(framing.EndsWithConnection());
    std::string input = "anything";
    const char *cursor = input.data();
    const char *end = cursor + input.size();
    const char *data;
    size_t size;
    ASSERT_EQ(DecodeData, framing.Next(&cursor, end, &data, &size));
    EXPECT_EQ(input, std::string(data, size));
    EXPECT_EQ(DecodeNeedMore, framing.Next(&cursor, end, &data, &size));
}

// What may be read straight into a reader's buffer is body and nothing else:
// never past a length's end, never a chunked body, whose sizes lie between
// its bytes, and nothing once the body is complete.
TEST(BodyFraming, PlainRunIsOnlyBody)
{
    struct Case {
        BodyKind kind;
        unsigned long long length;
        size_t taken;  // body bytes already handed out
        size_t capacity;
        size_t run;
    };
    const Case cases[] = {
        {BodyLength, 10, 0, 4, 4},       {BodyLength, 10, 0, 64, 10},     {BodyLength, 10, 7, 64, 3},
        {BodyLength, 10, 10, 64, 0},     {BodyLength, 1ull << 33, 0, 65536, 65536},
        {BodyUntilClose, 0, 0, 64, 64},  {BodyUntilClose, 0, 5, 64, 64},  {BodyChunked, 0, 0, 64, 0},
        {BodyNone, 0, 0, 64, 0},
    };
    const std::string input(64, 'b');
    for (const Case &c : cases) {
        BodyFraming framing;
        framing.Start(c.kind, c.length);
        if (c.taken) {
            const char *cursor = input.data();
            const char *data;
            size_t size;
            ASSERT_EQ(DecodeData, framing.Next(&cursor, input.data() + c.taken, &data, &size));
        }
        EXPECT_EQ(c.run, framing.PlainRun(c.capacity)) << c.kind << " " << c.length << " " << c.taken;
    }
}

}  // namespace
