"""The main job, as far as the system goes today: build graph values in Python and read them back."""
import datetime
import uuid

import _lorengraph as lg


def main():
    ada = lg.EntityValue()
    ada.type_name = "Person"
    ada.set_id(uuid.UUID("6f1c2a52-0b1e-4d6e-9a49-2b7d3c1c9e01"))
    ada.set_key_value("name", "Ada")
    ada.set_key_value("born", datetime.date(1815, 12, 10))

    engine = lg.EntityValue()
    engine.type_name = "Machine"
    engine.set_id(2)
    engine.set_key_value("name", "Analytical Engine")

    wrote = lg.RelationshipValue()
    wrote.type_name = "DescribedBy"
    wrote.set_id(3)
    wrote.set_related_entity_ids(engine.get_id(), ada.get_id())
    wrote.set_key_value("year", 1843)

    site = lg.GeometryValue()
    site.geometry_type = lg.ovraGeometryPoint
    site.lengths = [1]
    site.coords = [-0.1276, 51.5072]
    ada.set_key_value("location", site)

    rows = lg.ArrayValue()
    for value in (ada, engine, wrote):
        rows.add_value(value)

    for i in range(rows.count()):
        item = rows.get_value_at(i)
        print(f"{item.object_value_type}: {item.type_name} id={item.get_id()!r}")
        for key, value in item.key_value_pairs:
            shown = value.coords if isinstance(value, lg.GeometryValue) else value
            print(f"    {key} = {shown!r}")
    print("spatial reference:", lg.SpatialReference.WGS84().wkid)


if __name__ == "__main__":
    main()
