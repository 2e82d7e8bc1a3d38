#include "SegyLayout.h"

#include <QLatin1String>

#include <cstring>
#include <iterator>

namespace {

using T = SegyFieldType;

// clang-format off
constexpr SegyField kBinaryFields[] = {
    {3201, 4, T::Int32, "job_id", "job identification number"},
    {3205, 4, T::Int32, "line_number", "line number"},
    {3209, 4, T::Int32, "reel_number", "reel number"},
    {3213, 2, T::Int16, "data_traces_per_ensemble", "data traces per ensemble"},
    {3215, 2, T::Int16, "aux_traces_per_ensemble", "auxiliary traces per ensemble"},
    {3217, 2, T::Int16, "sample_interval", "sample interval"},
    {3219, 2, T::Int16, "sample_interval_original", "sample interval of the original field recording"},
    {3221, 2, T::Int16, "samples_per_trace", "samples per data trace"},
    {3223, 2, T::Int16, "samples_per_trace_original", "samples per data trace of the original field recording"},
    {3225, 2, T::Int16, "format", "data sample format code"},
    {3227, 2, T::Int16, "ensemble_fold", "ensemble fold"},
    {3229, 2, T::Int16, "sorting_code", "trace sorting code"},
    {3231, 2, T::Int16, "vertical_sum_code", "vertical sum code"},
    {3233, 2, T::Int16, "sweep_frequency_start", "sweep frequency at start (Hz)"},
    {3235, 2, T::Int16, "sweep_frequency_end", "sweep frequency at end (Hz)"},
    {3237, 2, T::Int16, "sweep_length", "sweep length (ms)"},
    {3239, 2, T::Int16, "sweep_type", "sweep type code"},
    {3241, 2, T::Int16, "sweep_channel", "trace number of the sweep channel"},
    {3243, 2, T::Int16, "sweep_taper_start", "sweep taper length at start (ms)"},
    {3245, 2, T::Int16, "sweep_taper_end", "sweep taper length at end (ms)"},
    {3247, 2, T::Int16, "taper_type", "taper type"},
    {3249, 2, T::Int16, "correlated_traces", "correlated data traces"},
    {3251, 2, T::Int16, "binary_gain_recovered", "binary gain recovered"},
    {3253, 2, T::Int16, "amplitude_recovery", "amplitude recovery method"},
    {3255, 2, T::Int16, "measurement_system", "measurement system (1 metres, 2 feet)"},
    {3257, 2, T::Int16, "impulse_polarity", "impulse signal polarity"},
    {3259, 2, T::Int16, "vibratory_polarity", "vibratory polarity code"},
    {3261, 4, T::Int32, "ext_data_traces_per_ensemble", "extended data traces per ensemble"},
    {3265, 4, T::Int32, "ext_aux_traces_per_ensemble", "extended auxiliary traces per ensemble"},
    {3269, 4, T::Int32, "ext_samples_per_trace", "extended samples per data trace"},
    {3273, 8, T::Float64, "ext_sample_interval", "extended sample interval"},
    {3281, 8, T::Float64, "ext_sample_interval_original", "extended sample interval of the original recording"},
    {3289, 4, T::Int32, "ext_samples_per_trace_original", "extended samples per trace of the original recording"},
    {3293, 4, T::Int32, "ext_ensemble_fold", "extended ensemble fold"},
    {3297, 4, T::Int32, "byte_order", "byte-order constant"},
    {3501, 1, T::UInt8, "revision_major", "major revision"},
    {3502, 1, T::UInt8, "revision_minor", "minor revision"},
    {3503, 2, T::Int16, "fixed_length", "fixed-length trace flag"},
    {3505, 2, T::Int16, "ext_text_headers", "number of extended textual file headers"},
    {3507, 2, T::Int16, "additional_trace_headers", "maximum number of additional trace headers"},
    {3509, 2, T::Int16, "survey_type", "survey type"},
    {3511, 2, T::Int16, "time_basis", "time basis code"},
    {3513, 8, T::UInt64, "trace_count", "number of traces in the file"},
    {3521, 8, T::UInt64, "first_trace_offset", "byte offset of the first trace"},
    {3529, 4, T::Int32, "trailer_records", "number of trailer stanza records"},
};

constexpr SegyField kTraceFields[] = {
    {1, 4, T::Int32, "trace_sequence_line", "trace sequence number within the line"},
    {5, 4, T::Int32, "trace_sequence_file", "trace sequence number within the file"},
    {9, 4, T::Int32, "field_record", "original field record number"},
    {13, 4, T::Int32, "trace_number", "trace number within the field record"},
    {17, 4, T::Int32, "energy_source_point", "energy source point number"},
    {21, 4, T::Int32, "ensemble", "ensemble number (CDP, CMP, ...)"},
    {25, 4, T::Int32, "ensemble_trace", "trace number within the ensemble"},
    {29, 2, T::Int16, "trace_id", "trace identification code"},
    {31, 2, T::Int16, "vertical_sum", "number of vertically summed traces"},
    {33, 2, T::Int16, "horizontal_stack", "number of horizontally stacked traces"},
    {35, 2, T::Int16, "data_use", "data use (1 production, 2 test)"},
    {37, 4, T::Int32, "offset", "source-to-receiver offset"},
    {41, 4, T::Int32, "receiver_elevation", "receiver group elevation"},
    {45, 4, T::Int32, "source_elevation", "surface elevation at source"},
    {49, 4, T::Int32, "source_depth", "source depth below surface"},
    {53, 4, T::Int32, "receiver_datum", "datum elevation at receiver group"},
    {57, 4, T::Int32, "source_datum", "datum elevation at source"},
    {61, 4, T::Int32, "source_water_depth", "water depth at source"},
    {65, 4, T::Int32, "group_water_depth", "water depth at group"},
    {69, 2, T::Int16, "elevation_scalar", "scalar for elevations and depths"},
    {71, 2, T::Int16, "coordinate_scalar", "scalar for coordinates"},
    {73, 4, T::Int32, "source_x", "source X"},
    {77, 4, T::Int32, "source_y", "source Y"},
    {81, 4, T::Int32, "group_x", "group X"},
    {85, 4, T::Int32, "group_y", "group Y"},
    {89, 2, T::Int16, "coordinate_units", "coordinate units"},
    {91, 2, T::Int16, "weathering_velocity", "weathering velocity"},
    {93, 2, T::Int16, "subweathering_velocity", "subweathering velocity"},
    {95, 2, T::Int16, "source_uphole_time", "uphole time at source (ms)"},
    {97, 2, T::Int16, "group_uphole_time", "uphole time at group (ms)"},
    {99, 2, T::Int16, "source_static", "source static correction (ms)"},
    {101, 2, T::Int16, "group_static", "group static correction (ms)"},
    {103, 2, T::Int16, "total_static", "total static applied (ms)"},
    {105, 2, T::Int16, "lag_time_a", "lag time A (ms)"},
    {107, 2, T::Int16, "lag_time_b", "lag time B (ms)"},
    {109, 2, T::Int16, "delay_time", "delay recording time (ms)"},
    {111, 2, T::Int16, "mute_start", "mute time start (ms)"},
    {113, 2, T::Int16, "mute_end", "mute time end (ms)"},
    {115, 2, T::Int16, "samples", "number of samples in this trace"},
    {117, 2, T::Int16, "sample_interval", "sample interval of this trace"},
    {119, 2, T::Int16, "gain_type", "gain type of field instruments"},
    {121, 2, T::Int16, "gain_constant", "instrument gain constant (dB)"},
    {123, 2, T::Int16, "initial_gain", "instrument early or initial gain (dB)"},
    {125, 2, T::Int16, "correlated", "correlated (1 no, 2 yes)"},
    {127, 2, T::Int16, "sweep_frequency_start", "sweep frequency at start (Hz)"},
    {129, 2, T::Int16, "sweep_frequency_end", "sweep frequency at end (Hz)"},
    {131, 2, T::Int16, "sweep_length", "sweep length (ms)"},
    {133, 2, T::Int16, "sweep_type", "sweep type"},
    {135, 2, T::Int16, "sweep_taper_start", "sweep taper length at start (ms)"},
    {137, 2, T::Int16, "sweep_taper_end", "sweep taper length at end (ms)"},
    {139, 2, T::Int16, "taper_type", "taper type"},
    {141, 2, T::Int16, "alias_filter_frequency", "alias filter frequency (Hz)"},
    {143, 2, T::Int16, "alias_filter_slope", "alias filter slope"},
    {145, 2, T::Int16, "notch_filter_frequency", "notch filter frequency (Hz)"},
    {147, 2, T::Int16, "notch_filter_slope", "notch filter slope"},
    {149, 2, T::Int16, "low_cut_frequency", "low-cut frequency (Hz)"},
    {151, 2, T::Int16, "high_cut_frequency", "high-cut frequency (Hz)"},
    {153, 2, T::Int16, "low_cut_slope", "low-cut slope"},
    {155, 2, T::Int16, "high_cut_slope", "high-cut slope"},
    {157, 2, T::Int16, "year", "year data recorded"},
    {159, 2, T::Int16, "day_of_year", "day of year"},
    {161, 2, T::Int16, "hour", "hour of day"},
    {163, 2, T::Int16, "minute", "minute of hour"},
    {165, 2, T::Int16, "second", "second of minute"},
    {167, 2, T::Int16, "time_basis", "time basis code"},
    {169, 2, T::Int16, "weighting_factor", "trace weighting factor"},
    {171, 2, T::Int16, "roll_switch_group", "geophone group number of roll switch position one"},
    {173, 2, T::Int16, "first_trace_group", "geophone group number of the first trace of the field record"},
    {175, 2, T::Int16, "last_trace_group", "geophone group number of the last trace of the field record"},
    {177, 2, T::Int16, "gap_size", "gap size"},
    {179, 2, T::Int16, "over_travel", "over travel"},
    {181, 4, T::Int32, "cdp_x", "ensemble (CDP) X"},
    {185, 4, T::Int32, "cdp_y", "ensemble (CDP) Y"},
    {189, 4, T::Int32, "inline", "inline number (3-D)"},
    {193, 4, T::Int32, "crossline", "crossline number (3-D)"},
    {197, 4, T::Int32, "shotpoint", "shotpoint number"},
    {201, 2, T::Int16, "shotpoint_scalar", "scalar for the shotpoint number"},
    {203, 2, T::Int16, "measurement_unit", "trace value measurement unit"},
    {205, 4, T::Int32, "transduction_mantissa", "transduction constant mantissa"},
    {209, 2, T::Int16, "transduction_exponent", "transduction constant exponent"},
    {211, 2, T::Int16, "transduction_units", "transduction units"},
    {213, 2, T::Int16, "device_id", "device / trace identifier"},
    {215, 2, T::Int16, "time_scalar", "scalar for times"},
    {217, 2, T::Int16, "source_type", "source type / orientation"},
    {219, 2, T::Int16, "source_energy_vertical", "source energy direction, vertical"},
    {221, 2, T::Int16, "source_energy_crossline", "source energy direction, crossline"},
    {223, 2, T::Int16, "source_energy_inline", "source energy direction, inline"},
    {225, 4, T::Int32, "source_measurement_mantissa", "source measurement mantissa"},
    {229, 2, T::Int16, "source_measurement_exponent", "source measurement exponent"},
    {231, 2, T::Int16, "source_measurement_unit", "source measurement unit"},
};

constexpr SegyFormat kFormats[] = {
    {1, 4, "ibm32", "4-byte IBM floating point", true, false},
    {2, 4, "int32", "4-byte integer", true, true},
    {3, 2, "int16", "2-byte integer", true, false},
    {4, 4, "fixed32", "4-byte fixed point with gain (obsolete)", false, false},
    {5, 4, "ieee32", "4-byte IEEE floating point", true, false},
    {6, 8, "ieee64", "8-byte IEEE floating point", true, true},
    {7, 3, "int24", "3-byte integer", true, false},
    {8, 1, "int8", "1-byte integer", true, false},
    {9, 8, "int64", "8-byte integer", true, true},
    {10, 4, "uint32", "4-byte unsigned integer", true, true},
    {11, 2, "uint16", "2-byte unsigned integer", true, false},
    {12, 8, "uint64", "8-byte unsigned integer", true, true},
    {15, 3, "uint24", "3-byte unsigned integer", true, false},
    {16, 1, "uint8", "1-byte unsigned integer", true, false},
};
// clang-format on

template <std::size_t N> const SegyField* ByByte(const SegyField (&table)[N], int byte)
{
    for (const SegyField& f : table) {
        if (f.byte == byte)
            return &f;
    }
    return nullptr;
}

template <std::size_t N> const SegyField* ByName(const SegyField (&table)[N], const QString& name)
{
    for (const SegyField& f : table) {
        if (name == QLatin1String(f.name))
            return &f;
    }
    return nullptr;
}

SegyFieldType IntegerType(int width, bool isUnsigned)
{
    switch (width) {
    case 1:
        return isUnsigned ? T::UInt8 : T::Int8;
    case 2:
        return isUnsigned ? T::UInt16 : T::Int16;
    case 4:
        return isUnsigned ? T::UInt32 : T::Int32;
    default:
        return isUnsigned ? T::UInt64 : T::Int64;
    }
}

} // namespace

const SegyField* SegyBinaryFields(int* count)
{
    *count = static_cast<int>(std::size(kBinaryFields));
    return kBinaryFields;
}

const SegyField* SegyTraceFields(int* count)
{
    *count = static_cast<int>(std::size(kTraceFields));
    return kTraceFields;
}

const SegyField* FindSegyBinaryField(int byte)
{
    return ByByte(kBinaryFields, byte);
}

const SegyField* FindSegyBinaryField(const QString& name)
{
    return ByName(kBinaryFields, name);
}

const SegyField* FindSegyTraceField(int byte)
{
    return ByByte(kTraceFields, byte);
}

const SegyField* FindSegyTraceField(const QString& name)
{
    return ByName(kTraceFields, name);
}

bool ParseSegyTraceField(const QString& spec, SegyField* field)
{
    if (const SegyField* named = FindSegyTraceField(spec)) {
        *field = *named;
        return true;
    }
    const int colon = spec.indexOf(QLatin1Char(':'));
    bool ok = false;
    const int byte = spec.left(colon).toInt(&ok);
    if (!ok)
        return false;
    if (colon < 0) {
        const SegyField* at = FindSegyTraceField(byte);
        if (at)
            *field = *at;
        return at != nullptr;
    }
    QString widthText = spec.mid(colon + 1);
    const bool isUnsigned = widthText.endsWith(QLatin1Char('u'));
    if (isUnsigned)
        widthText.chop(1);
    const int width = widthText.toInt(&ok);
    if (!ok || (width != 1 && width != 2 && width != 4 && width != 8) || byte < 1
        || byte + width - 1 > 240)
        return false;
    *field = {byte, width, IntegerType(width, isUnsigned), "custom", "custom"};
    return true;
}

const SegyFormat* FindSegyFormat(int code)
{
    for (const SegyFormat& f : kFormats) {
        if (f.code == code)
            return &f;
    }
    return nullptr;
}

const SegyFormat* FindSegyFormat(const QString& nameOrCode)
{
    bool isNumber = false;
    const int code = nameOrCode.toInt(&isNumber);
    if (isNumber)
        return FindSegyFormat(code);
    for (const SegyFormat& f : kFormats) {
        if (nameOrCode == QLatin1String(f.name))
            return &f;
    }
    return nullptr;
}

const SegyFormat* SegyFormats(int* count)
{
    *count = static_cast<int>(std::size(kFormats));
    return kFormats;
}
