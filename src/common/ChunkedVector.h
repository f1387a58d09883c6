#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <vector>

namespace lanscope {

// A sequence with positional insert and erase that cost the same for a list
// of 65,534 as for one of 500: the elements sit in chunks of at most
// 2 * kChunk, so an insertion shifts one chunk and the chunks' starts, never
// the whole list. Random access is a binary search over the starts.
template <typename T>
class ChunkedVector {
  public:
    static constexpr std::size_t kChunk = 256;

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](std::size_t index) {
        const auto [chunk, offset] = locate(index);
        return m_chunks[chunk][offset];
    }
    const T& operator[](std::size_t index) const {
        const auto [chunk, offset] = locate(index);
        return m_chunks[chunk][offset];
    }
    T& at(std::size_t index) {
        checkIndex(index);
        return (*this)[index];
    }
    const T& at(std::size_t index) const {
        checkIndex(index);
        return (*this)[index];
    }

    // The first index whose element `belowKey` says false for, the elements
    // being partitioned by it (as std::partition_point).
    template <typename Predicate>
    std::size_t partitionPoint(Predicate belowKey) const {
        const auto chunk = std::partition_point(
            m_chunks.begin(), m_chunks.end(),
            [&](const std::vector<T>& elements) { return belowKey(elements.back()); });
        if (chunk == m_chunks.end()) {
            return m_size;
        }
        const auto index = static_cast<std::size_t>(chunk - m_chunks.begin());
        const auto within = std::partition_point(chunk->begin(), chunk->end(), belowKey);
        return m_starts[index] + static_cast<std::size_t>(within - chunk->begin());
    }

    void insert(std::size_t index, T value) {
        if (index > m_size) {
            throw std::out_of_range("ChunkedVector::insert");
        }
        if (m_chunks.empty()) {
            m_chunks.emplace_back().push_back(std::move(value));
            m_starts.push_back(0);
            m_size = 1;
            return;
        }
        // The end of the list goes to the last chunk, not to a new one.
        const auto [chunk, offset] = index == m_size
                                         ? std::pair{m_chunks.size() - 1, m_chunks.back().size()}
                                         : locate(index);
        std::vector<T>& elements = m_chunks[chunk];
        elements.insert(elements.begin() + static_cast<std::ptrdiff_t>(offset), std::move(value));
        ++m_size;
        for (std::size_t next = chunk + 1; next < m_starts.size(); ++next) {
            ++m_starts[next];
        }
        if (elements.size() > 2 * kChunk) {
            split(chunk);
        }
    }

    void erase(std::size_t index) {
        checkIndex(index);
        const auto [chunk, offset] = locate(index);
        std::vector<T>& elements = m_chunks[chunk];
        elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(offset));
        --m_size;
        for (std::size_t next = chunk + 1; next < m_starts.size(); ++next) {
            --m_starts[next];
        }
        if (elements.empty()) {
            m_chunks.erase(m_chunks.begin() + static_cast<std::ptrdiff_t>(chunk));
            m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(chunk));
        }
    }

    void clear() {
        m_chunks.clear();
        m_starts.clear();
        m_size = 0;
    }

  private:
    void checkIndex(std::size_t index) const {
        if (index >= m_size) {
            throw std::out_of_range("ChunkedVector index");
        }
    }

    std::pair<std::size_t, std::size_t> locate(std::size_t index) const {
        const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), index);
        const auto chunk = static_cast<std::size_t>(after - m_starts.begin()) - 1;
        return {chunk, index - m_starts[chunk]};
    }

    void split(std::size_t chunk) {
        std::vector<T>& full = m_chunks[chunk];
        std::vector<T> upper(std::make_move_iterator(full.begin() + kChunk),
                             std::make_move_iterator(full.end()));
        full.erase(full.begin() + kChunk, full.end());
        const std::size_t start = m_starts[chunk] + kChunk;
        m_chunks.insert(m_chunks.begin() + static_cast<std::ptrdiff_t>(chunk) + 1,
                        std::move(upper));
        m_starts.insert(m_starts.begin() + static_cast<std::ptrdiff_t>(chunk) + 1, start);
    }

    std::vector<std::vector<T>> m_chunks;
    // The index of each chunk's first element.
    std::vector<std::size_t> m_starts;
    std::size_t m_size = 0;
};

}  // namespace lanscope
