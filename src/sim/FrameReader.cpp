#include "sim/FrameReader.h"

#include "vtc880/DeviceCodes.h"

using namespace vtc880;

namespace sim {

void FrameReader::reset() {
    state_ = State::hunt;
    index_ = 0;
}

FrameReader::Result FrameReader::reject() {
    state_ = State::hunt;
    return Result::badFrame;
}

FrameReader::Result FrameReader::feed(std::uint8_t byte) {
    switch (state_) {
    case State::hunt:
        if (byte == Frame::start) {
            sum_ = byte;
            code_ = 0;
            length_ = 0;
            index_ = 0;
            data_.clear();
            state_ = State::code;
        }
        return Result::none;
    case State::code:
        sum_ += byte;
        code_ |= std::uint16_t(byte << (8 * index_));
        if (++index_ == 2) {
            index_ = 0;
            state_ = State::length;
        }
        return Result::none;
    case State::length:
        sum_ += byte;
        length_ |= std::uint32_t(byte) << (8 * index_);
        if (++index_ == 4) {
            index_ = 0;
            if (length_ > maxData)
                return reject();
            data_.reserve(length_);
            state_ = length_ > 0 ? State::data : State::end;
        }
        return Result::none;
    case State::data:
        sum_ += byte;
        data_.push_back(byte);
        if (data_.size() == length_)
            state_ = State::end;
        return Result::none;
    case State::end:
        if (byte != Frame::end)
            return reject();
        sum_ += byte;
        state_ = State::checksum;
        return Result::none;
    case State::checksum:
        state_ = State::hunt;
        return byte == sum_ ? Result::frame : Result::badFrame;
    }
    return reject();
}

} // namespace sim
