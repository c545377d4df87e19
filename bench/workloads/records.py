DEPARTMENTS = ["sales", "tools", "books", "garden", "toys"]


class Home:
    __slots__ = ("street", "zip")

    def __init__(self, street, zip):
        self.street = street
        self.zip = zip


class Person:
    __slots__ = ("id", "name", "department", "pay", "home")

    def __init__(self, id, name, department, pay, home):
        self.id = id
        self.name = name
        self.department = department
        self.pay = pay
        self.home = home


def main():
    seed = 5

    def random(limit):
        nonlocal seed
        seed = seed * 16807 % 2147483647
        return seed % limit

    staff = []
    for i in range(@N@):
        department = DEPARTMENTS[random(5)]
        pay = 1000 + random(9000)
        street = "%d Main Street" % random(200)
        zip = 10000 + random(90000)
        staff.append(Person(i, "person%d" % i, department, pay, Home(street, zip)))

    for p in staff:
        if p.department == "books":
            p.pay += 150
        if p.home.zip < 20000:
            p.home.zip += 1

    totals = dict.fromkeys(DEPARTMENTS, 0)
    zips = namebytes = 0
    for p in staff:
        totals[p.department] += p.pay
        zips += p.home.zip
        namebytes += len(p.name)
    shown = "[" + ", ".join(str(totals[d]) for d in DEPARTMENTS) + "]"
    print("RESULT", shown, zips, namebytes)

main()
