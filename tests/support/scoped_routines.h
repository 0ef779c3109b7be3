#pragma once
// Every module that meets the system through replaceable routines offers a
// struct of them with Default...Routines(), ...Routines() (the set in use)
// and Set...Routines(set), which returns the previous set. This puts a set
// in place for the life of the object and the previous one back after it.
template <class Routines>
class CScopedRoutines {
 public:
  using Setter = Routines (*)(const Routines&);
  CScopedRoutines(Setter set, const Routines& routines) : m_pSet(set), m_Previous(set(routines)) {}
  ~CScopedRoutines() { m_pSet(m_Previous); }
  CScopedRoutines(const CScopedRoutines&) = delete;
  CScopedRoutines& operator=(const CScopedRoutines&) = delete;

  const Routines& Previous() const { return m_Previous; }

 private:
  Setter m_pSet;
  Routines m_Previous;
};
