// A tool that uses only the vocabulary: Qt Core, no application object.
#include <CalendarChoices.h>
#include <SampleFormats.h>
#include <TextUtils.h>

#include <cstdint>
#include <cstdio>

int main()
{
    const uint32_t word = 0x3F800000u; // exponent 63, fraction 1/2: 1/2 x 16^-1 = 1/32
    float value = 0.0f;
    IbmToFloat(&word, &value, 1);
    char text[] = {'\xF7', '\x4B', '\xF1'};
    EbcdicToAscii(text, 3);
    const bool ok = value == 0.03125f && text[0] == '7' && text[1] == '.' && text[2] == '1'
        && MonthChoice(1) == QLatin1String("January");
    std::printf("vocab only: %s\n", ok ? "ok" : "wrong");
    return ok ? 0 : 1;
}
