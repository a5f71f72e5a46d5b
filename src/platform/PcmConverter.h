#pragma once

#include <QByteArray>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

// Turns captured audio in whatever format the device gives (8-bit unsigned,
// 16/32-bit signed or float samples, any rate, interleaved channels) into
// 16-bit signed mono at the recogniser's rate. Keeps partial frames and the
// resampling phase from one buffer to the next, so buffers may split
// anywhere.
class PcmConverter
{
public:
    enum class Sample { UInt8, Int16, Int32, Float };

    PcmConverter(int inRate, int inChannels, Sample sample, int outRate)
        : m_channels(std::max(inChannels, 1))
        , m_sample(sample)
        , m_step(double(inRate) / double(outRate))
    {
    }

    int bytesPerSample() const
    {
        switch (m_sample) {
        case Sample::UInt8: return 1;
        case Sample::Int16: return 2;
        case Sample::Int32:
        case Sample::Float: return 4;
        }
        return 2;
    }

    QByteArray convert(const QByteArray& in)
    {
        m_pending.append(in);
        const int frameBytes = bytesPerSample() * m_channels;
        const qsizetype frames = m_pending.size() / frameBytes;
        QByteArray out;
        out.reserve(qsizetype(double(frames) / m_step + 2) * 2);
        const char* p = m_pending.constData();
        for (qsizetype f = 0; f < frames; ++f, p += frameBytes) {
            double sum = 0;
            for (int c = 0; c < m_channels; ++c)
                sum += sampleAt(p + c * bytesPerSample());
            push(sum / m_channels, out);
        }
        m_pending.remove(0, frames * frameBytes);
        return out;
    }

private:
    // One input sample in [-1, 1].
    double sampleAt(const char* p) const
    {
        switch (m_sample) {
        case Sample::UInt8: return (double(uint8_t(*p)) - 128.0) / 128.0;
        case Sample::Int16: return qFromLittleEndian<qint16>(p) / 32768.0;
        case Sample::Int32: return qFromLittleEndian<qint32>(p) / 2147483648.0;
        case Sample::Float: {
            float v;
            std::memcpy(&v, p, sizeof v);
            return std::isfinite(v) ? double(v) : 0.0;
        }
        }
        return 0;
    }

    void emitSample(double v, QByteArray& out) const
    {
        const auto s = qint16(std::lround(std::clamp(v, -1.0, 32767.0 / 32768.0) * 32768.0));
        char bytes[2];
        qToLittleEndian<qint16>(s, bytes);
        out.append(bytes, 2);
    }

    void push(double x, QByteArray& out)
    {
        if (m_step >= 1.0) {
            // Down: each output sample is the mean of the input it spans,
            // which also keeps what lies above the new rate's limit out.
            double remaining = 1.0;
            while (remaining > 1e-12) {
                const double take = std::min(remaining, m_step - m_filled);
                m_sum += x * take;
                m_filled += take;
                remaining -= take;
                if (m_filled >= m_step - 1e-9) {
                    emitSample(m_sum / m_step, out);
                    m_sum = 0;
                    m_filled = 0;
                }
            }
            return;
        }
        // Up: straight lines between input samples.
        if (!m_started) {
            m_started = true;
            m_previous = x;
            return;
        }
        while (m_phase <= 1.0) {
            emitSample(m_previous + (x - m_previous) * m_phase, out);
            m_phase += m_step;
        }
        m_phase -= 1.0;
        m_previous = x;
    }

    int m_channels;
    Sample m_sample;
    double m_step;
    QByteArray m_pending;
    double m_sum = 0, m_filled = 0;
    bool m_started = false;
    double m_previous = 0, m_phase = 0;
};
