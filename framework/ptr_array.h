// A growable array of pointers with the classic object-array rules: SetAtGrow past the
// end grows the array and leaves the new slots null; the default growth adds an eighth
// of the size (at least 4) when storage runs out; SetSize(0) frees the
// storage. The array does not own what it points to.
#pragma once

#include <windows.h>

#include <cstring>
#include <new>

template <typename T>
class PtrArray {
public:
    PtrArray() = default;
    ~PtrArray() { delete[] m_data; }
    PtrArray(const PtrArray&) = delete;
    PtrArray& operator=(const PtrArray&) = delete;

    INT_PTR GetSize() const { return m_size; }
    INT_PTR GetMaxSize() const { return m_maxSize; }
    T* GetAt(INT_PTR index) const { return m_data[index]; }
    T** GetData() const { return m_data; }

    // growBy -1 keeps the current growth rule; 0 is the default rule.
    void SetSize(INT_PTR newSize, INT_PTR growBy = -1)
    {
        if (growBy >= 0)
            m_growBy = growBy;
        if (newSize <= 0) {
            delete[] m_data;
            m_data = nullptr;
            m_size = m_maxSize = 0;
            return;
        }
        if (newSize > m_maxSize) {
            INT_PTR grow = m_growBy;
            if (grow == 0) {
                // An eighth, without an upper bound, so that long lists grow in
                // amortised constant time.
                grow = m_size / 8;
                grow = grow < 4 ? 4 : grow;
            }
            INT_PTR newMax = m_maxSize + grow;
            if (newMax < newSize)
                newMax = newSize;
            T** data = new T*[newMax];
            if (m_size > 0)
                std::memcpy(data, m_data, sizeof(T*) * m_size);
            std::memset(data + m_size, 0, sizeof(T*) * (newMax - m_size));
            delete[] m_data;
            m_data = data;
            m_maxSize = newMax;
        } else if (newSize > m_size) {
            std::memset(m_data + m_size, 0, sizeof(T*) * (newSize - m_size));
        }
        m_size = newSize;
    }

    void SetAtGrow(INT_PTR index, T* element)
    {
        if (index < 0)
            return;
        if (index >= m_size)
            SetSize(index + 1);
        m_data[index] = element;
    }

    void RemoveAll() { SetSize(0, -1); }

private:
    T** m_data = nullptr;
    INT_PTR m_size = 0;
    INT_PTR m_maxSize = 0;
    INT_PTR m_growBy = 0;
};
