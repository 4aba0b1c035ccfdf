"""Wire data models for the Python tests, built with the schema's generated classes."""
import datamodel_pb2
import ovra_types_pb2
import query_pb2

GT = ovra_types_pb2.OvraTypes


def minimal_model():
    """The smallest message the decoder accepts."""
    m = datamodel_pb2.GraphDataModel()
    m.identifier_info.identifier_mapping_info.database_native_identifier.SetInParent()
    m.identifier_info.identifier_generation_info.uuid_method_hint = datamodel_pb2.MethodHint_UNSPECIFIED
    return m


def add_entity_type(m, name, **fields):
    t = m.entity_types.add().named_object_type
    t.name = name
    for k, v in fields.items():
        setattr(t, k, v)
    return t


def add_relationship_type(m, name, end_points=()):
    r = m.relationship_types.add()
    r.named_object_type.name = name
    for origin, destination in end_points:
        e = r.end_points.add()
        e.origin_entity_type, e.destination_entity_type = origin, destination
    return r.named_object_type


def add_property(t, name, field_type, **fields):
    p = t.properties.add()
    p.name = name
    p.field_type = field_type
    for k, v in fields.items():
        setattr(p, k, v)
    return p


def add_search_index(m, name, category=query_pb2.ovraTypeEntity, analyzers=(), properties=None):
    s = m.search_indexes.add()
    s.name = name
    s.supported_category = category
    for a in analyzers:
        s.analyzers.add().name = a
    for key, names in (properties or {}).items():
        s.search_properties[key].property_names.extend(names)
    return s
